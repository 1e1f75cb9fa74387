public class Exceptions {
    static class AppException extends Exception {
        int code;
        AppException(String m, int code) { super(m); this.code = code; }
    }
    static int depth = 0;
    static void thrower(int n) throws AppException {
        if (n == 0) throw new AppException("bottom", 7);
        depth++;
        try {
            thrower(n - 1);
        } finally {
            depth--;
        }
    }
    static int divide(int a, int b) { return a / b; }
    static String classify(Object o) {
        try {
            String s = (String) o;
            return "string " + s.length();
        } catch (ClassCastException e) {
            return "not a string";
        } catch (NullPointerException e) {
            return "null";
        }
    }
    public static void main(String[] args) {
        try {
            thrower(10);
        } catch (AppException e) {
            System.out.println("caught " + e.getMessage() + " code " + e.code + " depth " + depth);
        }
        try {
            divide(1, 0);
        } catch (ArithmeticException e) {
            System.out.println("ArithmeticException");
        }
        int[] a = new int[3];
        try {
            a[3] = 1;
        } catch (ArrayIndexOutOfBoundsException e) {
            System.out.println("ArrayIndexOutOfBoundsException");
        }
        try {
            Object o = null;
            o.hashCode();
        } catch (NullPointerException e) {
            System.out.println("NullPointerException");
        }
        try {
            int[] neg = new int[-1];
            System.out.println(neg.length);
        } catch (NegativeArraySizeException e) {
            System.out.println("NegativeArraySizeException");
        }
        try {
            Object[] objs = new String[1];
            objs[0] = new Integer(1);
        } catch (ArrayStoreException e) {
            System.out.println("ArrayStoreException");
        }
        System.out.println(classify("abc") + ", " + classify(new Integer(3)) + ", " + classify(null));
        int r = 0;
        for (int i = 0; i < 5; i++) {
            try {
                if (i % 2 == 0) throw new RuntimeException("even " + i);
                r += i;
            } catch (RuntimeException e) {
                r += 10;
            } finally {
                r += 100;
            }
        }
        System.out.println("loop " + r);
        try {
            try {
                throw new IllegalStateException("inner");
            } finally {
                System.out.println("finally runs");
            }
        } catch (IllegalStateException e) {
            System.out.println("outer caught " + e.getMessage() + " " + e.getClass().getName());
        }
        try {
            recurse(0);
        } catch (StackOverflowError e) {
            System.out.println("StackOverflowError");
        }
        throw new UnsupportedOperationException("uncaught at the end");
    }
    static int recurse(int n) { return recurse(n + 1) + 1; }
}
