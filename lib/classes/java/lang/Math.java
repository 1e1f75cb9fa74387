package java.lang;

public final class Math {
    public static final double E = 2.718281828459045;
    public static final double PI = 3.141592653589793;
    private Math() {}
    public static native double sin(double a);
    public static native double cos(double a);
    public static native double tan(double a);
    public static native double asin(double a);
    public static native double acos(double a);
    public static native double atan(double a);
    public static native double sqrt(double a);
    public static native double ceil(double a);
    public static native double floor(double a);
    public static native double pow(double a, double b);
    public static native int round(float a);
    public static native long round(double a);
    public static native int abs(int a);
    public static native long abs(long a);
    public static native float abs(float a);
    public static native double abs(double a);
    public static int max(int a, int b) { return a >= b ? a : b; }
    public static int min(int a, int b) { return a <= b ? a : b; }
    public static long max(long a, long b) { return a >= b ? a : b; }
    public static long min(long a, long b) { return a <= b ? a : b; }
    // NaN wins, and -0.0 is below 0.0.
    public static double max(double a, double b) {
        if (a != a) return a;
        if (a == 0.0 && b == 0.0) return Double.doubleToLongBits(a) == 0L ? a : b;
        return a >= b ? a : b;
    }
    public static double min(double a, double b) {
        if (a != a) return a;
        if (a == 0.0 && b == 0.0) return Double.doubleToLongBits(a) != 0L ? a : b;
        return a <= b ? a : b;
    }
    public static float max(float a, float b) {
        if (a != a) return a;
        if (a == 0.0f && b == 0.0f) return Float.floatToIntBits(a) == 0 ? a : b;
        return a >= b ? a : b;
    }
    public static float min(float a, float b) {
        if (a != a) return a;
        if (a == 0.0f && b == 0.0f) return Float.floatToIntBits(a) != 0 ? a : b;
        return a <= b ? a : b;
    }
    private static long seed;
    // Uniform in [0, 1): 53 bits of a 48-bit linear congruential generator,
    // seeded from the clock on first use.
    public static synchronized double random() {
        if (seed == 0)
            seed = (System.currentTimeMillis() ^ 0x5DEECE66DL) & ((1L << 48) - 1);
        long bits = 0;
        for (int i = 0; i < 2; i++) {
            seed = (seed * 0x5DEECE66DL + 0xBL) & ((1L << 48) - 1);
            bits = (bits << (26 + i)) + (seed >>> (22 - i)); // 26 bits, then 27
        }
        return bits / (double) (1L << 53);
    }
    public static double toRadians(double d) { return d / 180.0 * PI; }
    public static double toDegrees(double r) { return r * 180.0 / PI; }
}
