// File streams: writing, appending, reading byte by byte and in blocks,
// skipping, and the errors of missing files, bad ranges and closed streams.
import java.io.FileInputStream;
import java.io.FileNotFoundException;
import java.io.FileOutputStream;
import java.io.IOException;

public class FileStreams {
    static String path(String name) {
        String dir = System.getProperty("java.io.tmpdir");
        if (dir == null)
            dir = "/tmp";
        return dir + "/kojvm-filestreams-" + name;
    }

    static String readAll(String name) throws IOException {
        FileInputStream in = new FileInputStream(name);
        StringBuffer s = new StringBuffer();
        byte[] block = new byte[5];
        int n;
        while ((n = in.read(block, 0, block.length)) > 0) {
            for (int i = 0; i < n; i++)
                s.append((char) (block[i] & 0xFF));
        }
        in.close();
        return s.toString();
    }

    public static void main(String[] args) throws IOException {
        String a = path("a");
        FileOutputStream out = new FileOutputStream(a);
        byte[] text = "hello, file".getBytes();
        out.write(text, 0, text.length);
        out.write('!');
        out.write(0xFF);
        out.close();
        out.close();

        FileInputStream in = new FileInputStream(a);
        System.out.println("first " + (char) in.read() + " available " + in.available());
        System.out.println("skipped " + in.skip(3));
        int last = 0, b;
        while ((b = in.read()) != -1)
            last = b;
        System.out.println("last byte " + last + " then " + in.read());
        System.out.println("zero read " + in.read(new byte[4], 0, 0));
        in.close();

        out = new FileOutputStream(a, true);
        byte[] more = " and more".getBytes();
        out.write(more, 0, more.length);
        out.close();
        String all = readAll(a);
        System.out.println("after append " + all.length() + " ends with" + all.substring(all.length() - 9));

        in = new FileInputStream(a);
        try {
            in.read(new byte[4], 2, 3);
        } catch (ArrayIndexOutOfBoundsException e) {
            System.out.println("bad range refused");
        } catch (IndexOutOfBoundsException e) {
            System.out.println("bad range refused");
        }
        in.close();

        try {
            new FileInputStream(path("missing/none"));
        } catch (FileNotFoundException e) {
            System.out.println("missing file refused");
        }
        try {
            new FileOutputStream(path("missing/none"));
        } catch (FileNotFoundException e) {
            System.out.println("unwritable file refused");
        }
        try {
            in.read();
        } catch (IOException e) {
            System.out.println("closed stream refused");
        }
    }
}
