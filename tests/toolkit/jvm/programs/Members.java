// Members of the wrappers, strings, files, writers, modifiers, errors and
// class loaders beyond the natives.
import java.io.File;
import java.io.PrintWriter;
import java.lang.reflect.AccessibleObject;
import java.lang.reflect.Modifier;

public class Members {
    interface Step {
        Object run() throws Exception;
    }

    static void show(String what, Step s) {
        try {
            System.out.println(what + ": " + s.run());
        } catch (Throwable e) {
            System.out.println(what + ": " + e.getClass().getName());
        }
    }

    static class Private {
        private int a;
        private int b;
    }

    static class Finder extends ClassLoader {
        protected Class findClass(String name) throws ClassNotFoundException {
            throw new ClassNotFoundException("not here: " + name);
        }
    }

    public static void main(String[] args) throws Exception {
        show("byte decode", new Step() { public Object run() throws Exception { return Byte.decode("0x7f") + " " + Byte.decode("-128"); } });
        show("byte decode 128", new Step() { public Object run() throws Exception { return Byte.decode("128"); } });
        show("short valueOf radix", new Step() { public Object run() throws Exception { return Short.valueOf("123", 8); } });
        show("byte equals", new Step() { public Object run() throws Exception {
            Byte b = Byte.valueOf("12");
            return b.equals(new Byte((byte) 12)) + " " + b.hashCode() + " " + b.compareTo(new Byte((byte) 15)) + " " + b.shortValue();
        } });
        show("short", new Step() { public Object run() throws Exception { return new Short("-7").byteValue() + " " + Short.decode("#10"); } });
        show("int decode", new Step() { public Object run() throws Exception {
            return Integer.decode("#ff") + " " + Integer.decode("-010") + " " + Integer.decode("0") + " " + Integer.decode("-0x80000000");
        } });
        show("int decode 0x", new Step() { public Object run() throws Exception { return Integer.decode("0x"); } });
        show("int decode -", new Step() { public Object run() throws Exception { return Integer.decode("-"); } });
        show("int decode 0x-1", new Step() { public Object run() throws Exception { return Integer.decode("0x-1"); } });
        show("int radix", new Step() { public Object run() throws Exception {
            return Integer.toString(255, 16) + " " + Integer.toString(-255, 2) + " " + Integer.valueOf("zz", 36) + " "
                   + new Integer(3).compareTo(new Integer(4)) + " " + new Integer(300).byteValue();
        } });
        show("long", new Step() { public Object run() throws Exception { return new Long("-9000000000"); } });
        show("float compare", new Step() { public Object run() throws Exception {
            return Float.compare(Float.NaN, 1f) + " " + Float.compare(-0f, 0f) + " " + Float.compare(1f, 1f) + " "
                   + new Float(Float.NaN).compareTo(new Float(Float.NaN)) + " " + new Float(0f).compareTo(new Float(-0f));
        } });
        show("double compare", new Step() { public Object run() throws Exception {
            return Double.compare(Double.NaN, Double.POSITIVE_INFINITY) + " " + Double.compare(-0.0, 0.0) + " "
                   + new Double(2).compareTo(new Double(1)) + " " + new Double("2.5").isInfinite();
        } });
        show("float", new Step() { public Object run() throws Exception {
            return new Float(2.5).floatValue() + " " + new Float("-1.25") + " " + new Float(Float.NaN).isNaN() + " "
                   + new Float(1e10f).shortValue() + " " + Float.valueOf("3");
        } });
        show("boolean", new Step() { public Object run() throws Exception {
            return new Boolean("TRUE") + " " + Boolean.valueOf("yes") + " " + new Boolean((String) null);
        } });
        show("char", new Step() { public Object run() throws Exception { return "" + new Character('b').compareTo(new Character('a')); } });
        show("string", new Step() { public Object run() throws Exception {
            String s = "abcabc";
            return s.lastIndexOf("bc", 3) + " " + s.lastIndexOf("", 99) + " " + s.lastIndexOf("a", -1) + " " + s.lastIndexOf("c", 5)
                   + " " + s.contentEquals(new StringBuffer("abcabc")) + " " + String.copyValueOf(new char[] {'x', 'y', 'z'}, 1, 2)
                   + String.copyValueOf(new char[] {'!'});
        } });
        show("buffer", new Step() { public Object run() throws Exception {
            StringBuffer b = new StringBuffer("--");
            b.insert(1, true).insert(0, 12L).insert(2, new char[] {'x', 'y'}).insert(0, new char[] {'p', 'q', 'r'}, 1, 2);
            b.insert(b.length(), 1.5f).insert(0, 0.25);
            return b + " " + b.indexOf("-", 12) + " " + b.lastIndexOf("-") + " " + b.lastIndexOf("-", 10);
        } });
        show("modifiers", new Step() { public Object run() throws Exception {
            return Modifier.toString(Modifier.PUBLIC | Modifier.STATIC | Modifier.FINAL | Modifier.ABSTRACT) + "|"
                   + Modifier.toString(Modifier.INTERFACE | Modifier.ABSTRACT) + "|" + Modifier.toString(0) + "|"
                   + Modifier.toString(0xfff) + "|" + Modifier.isPrivate(2) + Modifier.isTransient(0x80) + Modifier.isStrict(4);
        } });
        show("accessible", new Step() { public Object run() throws Exception {
            AccessibleObject[] fields = Private.class.getDeclaredFields();
            AccessibleObject.setAccessible(fields, true);
            return fields.length + " " + fields[0].isAccessible() + " " + fields[1].isAccessible();
        } });
        show("assertion", new Step() { public Object run() throws Exception {
            AssertionError cause = new AssertionError(new RuntimeException("inner"));
            return new AssertionError(5).getMessage() + " " + new AssertionError('c').getMessage() + " "
                   + new AssertionError(2.5).getMessage() + " " + new AssertionError((Object) null).getMessage() + " "
                   + cause.getMessage() + " " + (cause.getCause() != null) + " " + new AssertionError().getMessage();
        } });
        show("causes", new Step() { public Object run() throws Exception {
            return new Exception("a", new Error("b")).getCause().getMessage() + " " + new RuntimeException(new Error("c")).getMessage()
                   + " " + new Error((Throwable) null).getMessage() + " "
                   + new ClassNotFoundException("n", new Error("d")).getException().getMessage();
        } });
        show("stack trace", new Step() { public Object run() throws Exception {
            Throwable t = new Throwable();
            t.setStackTrace(new StackTraceElement[0]);
            return "" + t.getStackTrace().length;
        } });
        show("thread", new Step() { public Object run() throws Exception {
            return Thread.MIN_PRIORITY + " " + Thread.NORM_PRIORITY + " " + Thread.MAX_PRIORITY;
        } });
        show("loader", new Step() { public Object run() throws Exception { return new Finder().loadClass("java.lang.String").getName(); } });
        show("loader missing", new Step() { public Object run() throws Exception {
            try {
                return new Finder().loadClass("NoSuchClassAnywhere");
            } catch (ClassNotFoundException e) {
                return e.getMessage();
            }
        } });
        show("random", new Step() { public Object run() throws Exception {
            double first = Math.random();
            boolean inRange = true, varied = false;
            for (int i = 0; i < 1000; i++) {
                double r = Math.random();
                inRange &= r >= 0 && r < 1;
                varied |= r != first;
            }
            return inRange + " " + varied;
        } });
        show("writer", new Step() { public Object run() throws Exception {
            PrintWriter w = new PrintWriter(System.out);
            w.write("hello", 1, 3);
            w.print("!");
            boolean error = w.checkError();
            return "error " + error;
        } });
        show("paths", new Step() { public Object run() throws Exception {
            return new File("a//b/").getPath() + " " + new File("/").getParent() + " " + new File("/a").getParent() + " "
                   + new File("a/b/c").getParentFile().getName() + " " + new File("a").getParent() + " " + new File("", "x") + " "
                   + new File((String) null, "y") + " " + new File("/tmp/", "/z") + " " + new File("/", "z") + " "
                   + new File("q", "") + " " + new File("/").getName() + ".";
        } });
        show("file identity", new Step() { public Object run() throws Exception {
            File a = new File("a/b"), b = new File("a//b");
            return a.equals(b) + " " + (a.hashCode() == b.hashCode()) + " " + a.compareTo(new File("a/c")) + " " + a.isAbsolute()
                   + " " + new File("x").getAbsolutePath().endsWith("/x") + " " + new File("x").getAbsoluteFile().isAbsolute();
        } });
        show("mkdirs", new Step() { public Object run() throws Exception {
            File top = new File("/tmp/kojvm-members"); // removed by the test before each run
            File deep = new File(top, "a/b");
            boolean made = deep.mkdirs();
            boolean again = new File(top, "a/b").mkdirs();
            File[] inTop = top.listFiles();
            String r = made + " " + again + " " + inTop.length + " " + inTop[0].getName() + " " + new File(top, "none").listFiles();
            return r;
        } });
    }
}
