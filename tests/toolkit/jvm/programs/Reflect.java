import java.lang.reflect.Array;
import java.lang.reflect.Constructor;
import java.lang.reflect.Field;
import java.lang.reflect.Method;

class Point {
    public int x;
    public long big;
    public double weight = 2.5;
    public boolean visible;
    public String label = "p";
    public static String origin = "zero";
    private int hidden = 7;

    public Point() { label = "default"; }
    public Point(String label) { this.label = label; }
    public int sum(String extra) { return x + extra.length(); }
    public String describe() { return label + "@" + x; }
    public static int twice(String s) { return s.length() * 2; }
    public void touch() { visible = true; }
}

abstract class Abstract {
    public Abstract() {}
}

class Loaded {
    static { System.out.println("Loaded initialised"); }
    public static String value = "from Loaded";
}

// Reflection over fields, methods and constructors; the output is the same
// under java -Xint.
public class Reflect {
    public static void main(String[] args) throws Exception {
        Class c = Point.class;
        Field[] fields = c.getDeclaredFields();
        String[] names = new String[fields.length];
        for (int i = 0; i < fields.length; i++) names[i] = fields[i].getName() + ":" + fields[i].getModifiers();
        System.out.println("fields " + Names.joined(names));
        Method[] methods = c.getDeclaredMethods();
        names = new String[methods.length];
        for (int i = 0; i < methods.length; i++) names[i] = methods[i].getName() + ":" + methods[i].getModifiers();
        System.out.println("methods " + Names.joined(names));
        Constructor[] ctors = c.getConstructors();
        System.out.println("constructors " + ctors.length + " " + ctors[0].getName());

        Point p = (Point) c.newInstance();
        System.out.println("newInstance " + p.label);
        try {
            new Abstract[0].getClass().getComponentType().newInstance();
        } catch (InstantiationException e) {
            System.out.println("abstract class: InstantiationException");
        }
        try {
            Runnable.class.newInstance();
        } catch (InstantiationException e) {
            System.out.println("interface: InstantiationException");
        }
        Constructor k = c.getConstructor(new Class[] {String.class});
        System.out.println("constructor takes " + k.getParameterTypes().length + " " + k.getParameterTypes()[0].getName()
                           + " from " + k.getDeclaringClass().getName());
        p = (Point) k.newInstance(new Object[] {"made"});
        System.out.println("made " + p.label + " " + p.weight);

        Field fx = c.getField("x");
        fx.setInt(p, 40);
        Field fb = c.getField("big");
        fb.setInt(p, -3);
        System.out.println("big after setInt " + p.big);
        fb.setLong(p, 1L << 40);
        c.getField("visible").setBoolean(p, true);
        c.getField("label").set(p, "relabelled");
        System.out.println("get " + fx.get(p) + " " + fb.get(p) + " " + c.getField("visible").get(p) + " "
                           + c.getField("label").get(p) + " " + c.getField("weight").get(p));
        System.out.println("types " + c.getField("label").getType().getName() + " " + fx.get(p).getClass().getName()
                           + " " + fb.get(p).getClass().getName());
        System.out.println("static " + c.getField("origin").get(null));
        try {
            fx.setLong(p, 5);
        } catch (IllegalArgumentException e) {
            System.out.println("setLong on int: IllegalArgumentException");
        }
        try {
            fx.get(null);
        } catch (NullPointerException e) {
            System.out.println("instance field of null: NullPointerException");
        }
        try {
            c.getField("label").set(p, new Integer(3));
        } catch (IllegalArgumentException e) {
            System.out.println("wrong reference type: IllegalArgumentException");
        }

        Method sum = c.getMethod("sum", new Class[] {String.class});
        System.out.println("sum takes "
                           + sum.getParameterTypes()[0].getName() + ", varargs " + sum.isVarArgs());
        Object r = sum.invoke(p, new Object[] {"abc"});
        System.out.println("invoke " + r + " " + r.getClass().getName());
        Method describe = c.getMethod("describe", new Class[0]);
        System.out.println("describe " + describe.invoke(p, new Object[0]) + " returns "
                           + describe.getReturnType().getName());
        System.out.println("twice " + c.getMethod("twice", new Class[] {String.class}).invoke(null, new Object[] {"four"}));
        Method touch = c.getMethod("touch", new Class[0]);
        p.visible = false;
        System.out.println("void result " + touch.invoke(p, new Object[0]) + " " + p.visible);
        try {
            sum.invoke(p, new Object[] {new Integer(1)});
        } catch (IllegalArgumentException e) {
            System.out.println("argument of the wrong type: IllegalArgumentException");
        }
        try {
            sum.invoke(p, new Object[0]);
        } catch (IllegalArgumentException e) {
            System.out.println("too few arguments: IllegalArgumentException");
        }
        System.out.println("inherited " + c.getMethod("hashCode", new Class[0]).getDeclaringClass().getName());
        try {
            c.getMethod("nothing", new Class[0]);
        } catch (NoSuchMethodException e) {
            System.out.println("missing: NoSuchMethodException");
        }

        Object[] a = (Object[]) Array.newInstance(String.class, 3);
        System.out.println("array " + a.getClass().getName() + " " + Array.getLength(a) + " " + Array.getLength(new int[5]));
        try {
            Array.getLength("text");
        } catch (IllegalArgumentException e) {
            System.out.println("length of a string: IllegalArgumentException");
        }
        try {
            Array.newInstance(String.class, -1);
        } catch (NegativeArraySizeException e) {
            System.out.println("negative length: NegativeArraySizeException");
        }

        Class l = new Loaded[0].getClass().getComponentType(); // loaded, not initialised
        System.out.println("before the static read");
        System.out.println("static of a class not yet initialised: " + l.getField("value").get(null));
    }
}
