package java.io;

public class File implements Serializable, Comparable {
    public static final char separatorChar = '/';
    public static final String separator = "/";
    private String path;
    public File(String path) { this.path = path; }
    public File(String parent, String child) { this.path = new StringBuffer().append(parent).append('/').append(child).toString(); }
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
    public String getPath() { return path; }
    public String getName() { int i = path.lastIndexOf('/'); return i < 0 ? path : path.substring(i + 1); }
    public String toString() { return path; }
    public int compareTo(Object o) { return path.compareTo(((File) o).path); }
}
