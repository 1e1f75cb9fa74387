// Doubles and floats printed and parsed: edge values, digits where Java
// prints more than the shortest form, a pseudo-random sweep of bit patterns,
// and parsing, hexadecimal forms included.
public class FloatText {
    static long seed = 0x2545F4914F6CDD1DL;

    static long next() {
        seed ^= seed << 13;
        seed ^= seed >>> 7;
        seed ^= seed << 17;
        return seed;
    }

    public static void main(String[] args) {
        double[] ds = { Double.MIN_VALUE, -Double.MIN_VALUE, Double.MAX_VALUE, 2.2250738585072014E-308,
                        2.225073858507201E-308, 1e23, 9.999999999999999E22, 2e23, 2.82879384806159E17,
                        1.0E7, 9999999.999999998, 0.001, 0.0009999999999999998, 1e-5, 123456789012345678.0,
                        4.35, 0.1 + 0.2, 1.0 / 3, 2.0 / 3, 100.0, 1e16, 1e17, 9007199254740993.0,
                        4611686018427387904.0, 9.223372036854776E18, 1e-300 * 1e-10, 5e-324 * 3 };
        for (int i = 0; i < ds.length; i++)
            System.out.println("d " + ds[i] + " " + (-ds[i]) + " " + (float) ds[i]);
        float[] fs = { Float.MIN_VALUE, Float.MAX_VALUE, 1.17549435E-38f, 1e10f, 3.0e-5f, 16777216f, 16777217f,
                       0.3f, 1.1f, 1e7f, 9999999f, 0.001f, 8.5e37f, 3.8685653E25f, 3.8685676E25f,
                       3.8685713E25f, 3.8685736E25f };
        for (int i = 0; i < fs.length; i++)
            System.out.println("f " + fs[i] + " " + (double) fs[i]);
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < 4000; i++) {
            long bits = next();
            double d = Double.longBitsToDouble(bits);
            b.append(d).append(' ');
            if ((i & 7) == 0) {
                b.append((double) (bits >>> (i % 60))).append(' ');
                b.append(d * 1e-3).append(' ');
            }
            if (i % 20 == 19) {
                System.out.println(b.toString());
                b.setLength(0);
            }
        }
        for (int i = 0; i < 2000; i++) {
            int bits = (int) next();
            float f = Float.intBitsToFloat(bits);
            b.append(f).append(' ');
            if ((i & 7) == 0)
                b.append((float) (bits >>> (i % 30))).append(' ');
            if (i % 20 == 19) {
                System.out.println(b.toString());
                b.setLength(0);
            }
        }
        // Floats from 2^84 to 2^87, where the digit loop's margin outgrows 64 bits.
        for (int i = 0; i < 3000; i++) {
            b.append(Float.intBitsToFloat((211 << 23) + i * 8389)).append(' ');
            if (i % 20 == 19) {
                System.out.println(b.toString());
                b.setLength(0);
            }
        }
        String[] texts = { "0x1.8p1", "0X1P-2", "-0x.8p2d", "0x1.fffffffffffffp1023", "0x1p-1075", "0x1.0000000000001p0f",
                           "0x1.8", "0x1.8p", "0xp1", "1e400", "-1e-400", "  2.5f\t", ".5", "5.", ".", "1e", "+NaN",
                           "-Infinity", "infinity", "nan", "0x1.000001p0", "1.00000017881393432617187499",
                           "2.5x", "", "1_0" };
        for (int i = 0; i < texts.length; i++) {
            String d, f;
            try {
                d = String.valueOf(Double.parseDouble(texts[i]));
            } catch (NumberFormatException e) {
                d = "NumberFormatException";
            }
            try {
                f = String.valueOf(Float.parseFloat(texts[i]));
            } catch (NumberFormatException e) {
                f = "NumberFormatException";
            }
            System.out.println("parse \"" + texts[i] + "\": " + d + " " + f);
        }
    }
}
