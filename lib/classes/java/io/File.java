package java.io;

public class File implements Serializable, Comparable {
    public static final char separatorChar = '/';
    public static final String separator = "/";
    private String pathname;
    // The last stat of the path (0: not read yet).
    private int statMode;
    private long lastModified;
    private long fileLength;
    public File(String path) {
        if (path == null)
            throw new NullPointerException();
        this.pathname = normalize(path);
    }
    // The child below the parent folder ("" is the root); a null parent
    // leaves the child alone.
    public File(String parent, String child) {
        if (child == null)
            throw new NullPointerException();
        child = normalize(child);
        if (parent == null) {
            pathname = child;
            return;
        }
        parent = parent.length() == 0 ? "/" : normalize(parent);
        if (child.length() == 0)
            pathname = parent;
        else if (parent.equals("/"))
            pathname = child.startsWith("/") ? child : parent + child;
        else
            pathname = child.startsWith("/") ? parent + child : parent + '/' + child;
    }
    public File(File parent, String child) { this(parent == null ? null : parent.getPath(), child); }
    // Runs of '/' become one; a trailing '/' goes, except for the root.
    private static String normalize(String path) {
        StringBuffer s = new StringBuffer(path.length());
        for (int i = 0; i < path.length(); i++) {
            char c = path.charAt(i);
            if (c != '/' || s.length() == 0 || s.charAt(s.length() - 1) != '/')
                s.append(c);
        }
        if (s.length() > 1 && s.charAt(s.length() - 1) == '/')
            s.setLength(s.length() - 1);
        return s.toString();
    }
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
    public native boolean delete();
    public native boolean renameTo(File dest);
    public String getPath() { return pathname; }
    public String getName() { int i = pathname.lastIndexOf('/'); return i < 0 ? pathname : pathname.substring(i + 1); }
    public String getParent() {
        int i = pathname.lastIndexOf('/');
        if (i > 0)
            return pathname.substring(0, i);
        return i == 0 && pathname.length() > 1 ? "/" : null;
    }
    public File getParentFile() {
        String p = getParent();
        return p == null ? null : new File(p);
    }
    public boolean isAbsolute() { return pathname.startsWith("/"); }
    public String getAbsolutePath() { return isAbsolute() ? pathname : new File(getCurrentWorkingDirectory(), pathname).getPath(); }
    public File getAbsoluteFile() { return new File(getAbsolutePath()); }
    public File[] listFiles() {
        String[] names = list();
        if (names == null)
            return null;
        File[] files = new File[names.length];
        for (int i = 0; i < names.length; i++)
            files[i] = new File(this, names[i]);
        return files;
    }
    // The folder and every missing parent; false when the folder existed or
    // one could not be made.
    public boolean mkdirs() {
        if (exists())
            return false;
        if (mkdir())
            return true;
        File parent = getParentFile();
        return parent != null && (parent.mkdirs() || new File(parent.getPath()).exists()) && mkdir();
    }
    public String toString() { return pathname; }
    public boolean equals(Object o) { return o instanceof File && compareTo((File) o) == 0; }
    public int hashCode() { return pathname.hashCode() ^ 1234321; }
    public int compareTo(File f) { return pathname.compareTo(f.pathname); }
    public int compareTo(Object o) { return compareTo((File) o); }
}
