package java.io;

public class File implements Serializable, Comparable {
    public static final char separatorChar = '/';
    public static final String separator = "/";
    private String pathname;
    // The last stat of the path (0: not read yet).
    private int statMode;
    private long lastModified;
    private long fileLength;
    public File(String path) { this.pathname = path; }
    public File(String parent, String child) { this.pathname = new StringBuffer().append(parent).append('/').append(child).toString(); }
    public File(File parent, String child) { this(parent.getPath(), child); }
    private static native String getCurrentWorkingDirectory();
    public native boolean canRead();
    public native boolean canWrite();
    public native boolean exists();
    public native boolean isDirectory();
    public native boolean isFile();
    public native boolean isHidden();
    public native boolean mkdir();
    public native long lastModified();
    public native long length();
    public native String[] list();
    public String getPath() { return pathname; }
    public String getName() { int i = pathname.lastIndexOf('/'); return i < 0 ? pathname : pathname.substring(i + 1); }
    public String toString() { return pathname; }
    public int compareTo(Object o) { return pathname.compareTo(((File) o).pathname); }
}
