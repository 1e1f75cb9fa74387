// Deleting and renaming files and folders, with their failures; class-path
// resources and the class loader's lookups.
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;

public class FileMoves {
    static class Loader extends ClassLoader {
        String lookup(String name) {
            Class c = findLoadedClass(name);
            resolveClass(String.class);
            return c == null ? "null" : c.getName();
        }
    }

    static void write(String path, String text) throws IOException {
        FileOutputStream out = new FileOutputStream(path);
        for (int i = 0; i < text.length(); i++)
            out.write(text.charAt(i));
        out.close();
    }

    static String state(File f) {
        return f.getName() + " " + f.exists() + " " + f.length();
    }

    public static void main(String[] args) throws IOException {
        String dir = "/tmp/kojvm-filemoves";
        File root = new File(dir);
        root.mkdir();
        write(dir + "/a.txt", "hello");
        File a = new File(dir, "a.txt");
        File b = new File(dir, "b.txt");
        System.out.println("before: " + state(a) + " / " + state(b));
        System.out.println("rename a to b " + a.renameTo(b));
        System.out.println("after: " + state(a) + " / " + state(b));
        System.out.println("rename missing " + new File(dir, "nothing").renameTo(new File(dir, "other")));
        System.out.println("rename into a missing folder " + b.renameTo(new File(dir + "/no/such/c.txt")));
        write(dir + "/d.txt", "over");
        System.out.println("rename over a file " + new File(dir, "d.txt").renameTo(b) + " " + state(b));
        try {
            b.renameTo(null);
            System.out.println("rename to null returned");
        } catch (NullPointerException e) {
            System.out.println("rename to null: NullPointerException");
        }
        File sub = new File(dir, "sub");
        sub.mkdir();
        write(dir + "/sub/inner.txt", "x");
        System.out.println("delete a full folder " + sub.delete() + " " + sub.exists());
        System.out.println("delete its file " + new File(dir, "sub/inner.txt").delete());
        System.out.println("delete the empty folder " + sub.delete() + " " + sub.exists());
        System.out.println("delete b " + b.delete() + " " + state(b));
        System.out.println("delete b again " + b.delete());
        System.out.println("delete the root " + root.delete() + " " + root.exists());

        InputStream in = ClassLoader.getSystemResourceAsStream("FileMoves.class");
        int magic = 0, n = 0;
        for (int c; (c = in.read()) != -1; n++)
            if (n < 4)
                magic = magic << 8 | c;
        in.close();
        System.out.println("resource magic " + Integer.toHexString(magic) + " whole " + (n > 100));
        System.out.println("missing resource " + ClassLoader.getSystemResourceAsStream("no/such/thing.txt"));
        Loader l = new Loader();
        System.out.println("loaded by dotted name " + l.lookup("java.lang.String"));
        System.out.println("never loaded " + l.lookup("no.such.Thing"));
    }
}
