import java.lang.reflect.Field;
import java.lang.reflect.Method;

class RBase {
    private int a;
    public int b;
}

class RDerived extends RBase {
    private int c;
    public double d = 1.25;
    public float e = 0.5f;
}

class ROnlyInit {
    static int s;
    static { s = 1; }
    ROnlyInit() {}
}

class RCalls {
    public int f(int x) { return x + 1; }
    public int f(Integer x) { return -1; }
    public static void fail() { throw new IllegalStateException("boom"); }
}

// Reflection where this VM differs from OpenJDK by design: every member is
// listed (private ones and the superclasses' too), a primitive parameter is
// asked for by its wrapper class (which TYPE holds), and exceptions of invoked code reach the
// caller unwrapped.
public class ReflectVm {
    public static void main(String[] args) throws Exception {
        Field[] f = RDerived.class.getFields();
        StringBuffer sb = new StringBuffer("fields");
        for (int i = 0; i < f.length; i++) sb.append(' ').append(f[i].getName());
        System.out.println(sb);
        RDerived d = new RDerived();
        System.out.println("instance double " + RDerived.class.getField("d").get(d) + " float "
                           + RDerived.class.getField("e").get(d));
        System.out.println("only initialisers: methods " + ROnlyInit.class.getDeclaredMethods().length + " constructors "
                           + ROnlyInit.class.getConstructors().length);
        Method m = RCalls.class.getMethod("f", new Class[] {Integer.class});
        System.out.println("f by Integer " + m.invoke(new RCalls(), new Object[] {new Integer(4)}));
        Method byType = RCalls.class.getMethod("f", new Class[] {Integer.TYPE});
        System.out.println("f by Integer.TYPE " + byType.invoke(new RCalls(), new Object[] {new Integer(1)}) + ", TYPE is the wrapper "
                           + (Double.TYPE == Double.class));
        try {
            RCalls.class.getMethod("fail", new Class[0]).invoke(null, new Object[0]);
        } catch (IllegalStateException e) {
            System.out.println("unwrapped " + e.getMessage());
        }
        try {
            m.invoke(new RCalls(), null);
        } catch (NullPointerException e) {
            System.out.println("null argument array: NullPointerException");
        }
        System.out.println("constructor of String named " + String.class.getConstructors()[0].getName());
    }
}
