// java.io.File: what a path is, its length and time, making a folder and
// listing it.
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;

public class Files {
    static String kind(File f) {
        return f.getName() + ": exists " + f.exists() + " file " + f.isFile() + " directory " + f.isDirectory()
            + " read " + f.canRead() + " write " + f.canWrite();
    }

    static String describe(File f) {
        return kind(f) + " length " + f.length();
    }

    static void write(String path, int n) throws IOException {
        FileOutputStream out = new FileOutputStream(path);
        for (int i = 0; i < n; i++)
            out.write('a' + i % 26);
        out.close();
    }

    public static void main(String[] args) throws IOException {
        String dir = "/tmp/kojvm-files";
        new File(dir).mkdir();
        System.out.println(kind(new File(dir)));
        write(dir + "/one.txt", 10);
        write(dir + "/two.txt", 300);
        File one = new File(dir, "one.txt");
        System.out.println(describe(one));
        System.out.println(describe(new File(dir + "/two.txt")));
        System.out.println("modified recently " + (one.lastModified() > 1000000000000L));
        File missing = new File(dir, "missing");
        System.out.println(describe(missing) + " time " + missing.lastModified());
        System.out.println("list of missing " + (missing.list() == null));

        String[] names = new File(dir).list();
        Names.sort(names);
        System.out.print(names.length + " names:");
        for (int i = 0; i < names.length; i++)
            System.out.print(" " + names[i]);
        System.out.println();
        System.out.println("made again " + new File(dir).mkdir());
        System.out.println("made below a file " + new File(dir + "/one.txt/sub").mkdir());
    }
}
