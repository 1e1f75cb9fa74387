package javax.microedition.io;

import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;

// File streams under the add-ons' data folder; other connections are not supported.
public class Connector {
    public static final int READ = 1;
    public static final int WRITE = 2;
    public static final int READ_WRITE = 3;
    private Connector() {}
    public static Object open(String name) throws IOException { throw new ConnectionNotFoundException("Connections not supported."); }
    public static Object open(String name, int mode) throws IOException { return open(name); }
    public static Object open(String name, int mode, boolean timeouts) throws IOException { return open(name); }
    public static InputStream openInputStream(String name) throws IOException { return new FileInputStream(checkName(name)); }
    public static OutputStream openOutputStream(String name) throws IOException { return new FileOutputStream(checkName(name)); }
    public static DataInputStream openDataInputStream(String name) throws IOException { return new DataInputStream(openInputStream(name)); }
    public static DataOutputStream openDataOutputStream(String name) throws IOException { return new DataOutputStream(openOutputStream(name)); }
    private static String checkName(String name)
    {
        if (name.startsWith("file://"))
            name = name.substring(7);
        if (name.indexOf("://") >= 0)
            throw new IllegalArgumentException("Non-supported URL.");
        while (name.startsWith("/"))
            name = name.substring(1);
        return getDefaultPath() + name;
    }
    private static native String getDefaultPath();
}
