// Stack traces name class, method, file and line of every frame.
public class StackTraces {
    static class Failure extends RuntimeException {
        Failure(String message) {
            super(message);
        }
    }

    static void level3(int x) {
        if (x > 0)
            throw new Failure("deep " + x);
    }

    static void level2(int x) {
        level3(x);
        System.out.println("not reached");
    }

    static void level1(int x) {
        int y = x * 2;
        level2(y);
    }

    static RuntimeException make() {
        return new IllegalStateException("made");
    }

    void instance(Object o) {
        o.hashCode();
    }

    static void print(Throwable e) {
        StackTraceElement[] st = e.getStackTrace();
        System.out.println(e.getClass().getName() + ": " + st.length + " frames");
        for (int i = 0; i < st.length; i++)
            System.out.println("  " + st[i] + " [" + st[i].getClassName() + " " + st[i].getMethodName() + " "
                               + st[i].getFileName() + " " + st[i].getLineNumber() + "]");
    }

    public static void main(String[] args) {
        try {
            level1(3);
        } catch (Failure e) {
            print(e);
            System.out.println(e.getMessage());
        }
        try {
            int[] z = new int[2];
            z[5] = 1;
        } catch (ArrayIndexOutOfBoundsException e) {
            print(e);
        }
        try {
            new StackTraces().instance(null);
        } catch (NullPointerException e) {
            print(e);
        }
        RuntimeException made = make();
        print(made);
        try {
            Object s = "text";
            Integer i = (Integer) s;
            System.out.println(i);
        } catch (ClassCastException e) {
            print(e);
        }
        try {
            System.out.println(10 / (args.length));
        } catch (ArithmeticException e) {
            print(e);
        }
    }
}
