package java.lang;

// Class loaders delegate to their parent, then to the VM's class path
// (findClass of this class); resources come from the class path.
public abstract class ClassLoader {
    private final ClassLoader parent;
    protected ClassLoader() { this(null); }
    protected ClassLoader(ClassLoader parent) { this.parent = parent; }
    protected final native void resolveClass(Class c);
    protected final native Class findLoadedClass(String name);
    static native long getSystemResourceAsHandle(String name);
    public Class loadClass(String name) throws ClassNotFoundException { return loadClass(name, false); }
    protected synchronized Class loadClass(String name, boolean resolve) throws ClassNotFoundException {
        // Classes the VM loads are linked at once: resolve asks for nothing more.
        try {
            return parent != null ? parent.loadClass(name, false) : findSystemClass(name);
        } catch (ClassNotFoundException e) {
            return findClass(name);
        }
    }
    protected Class findClass(String name) throws ClassNotFoundException { throw new ClassNotFoundException(name); }
    protected final Class findSystemClass(String name) throws ClassNotFoundException { return Class.forName(name); }
    public final ClassLoader getParent() { return parent; }
    public java.io.InputStream getResourceAsStream(String name) { return getSystemResourceAsStream(name); }
    // A class-path resource as a stream on its handle; null when there is none.
    public static java.io.InputStream getSystemResourceAsStream(String name) {
        long h = getSystemResourceAsHandle(name);
        return h == 0 ? null : new org.kotools.ko.io.HandleInputStream(h);
    }
    public static ClassLoader getSystemClassLoader() { return null; }
}
