// Hexadecimal floating-point literals, compiled for 1.5: exponents of either
// sign, fractions without an integer part, type suffixes, and the extremes.
public class HexLiterals {
    public static void main(String[] args) {
        double[] ds = { 0x1p0, 0x1.8p1, 0X1P-2, 0x.8p2d, 0x10.4p-4, 0xAbC.dEfp+3D, 0x1.fffffffffffffp1023,
                        0x1p-1022, 0x0.0000000000001p-1022, 0x1p-1074, -0x1.0p+10, 0x1.0000000000001p0,
                        0x1.999999999999ap-4, 0x0p0, -0x0p0 };
        for (int i = 0; i < ds.length; i++)
            System.out.println("d " + ds[i] + " " + Double.doubleToLongBits(ds[i]));
        float[] fs = { 0x1p0f, 0x1.8p1f, 0x.8p2F, 0x1.fffffep127f, 0x1p-126f, 0x1p-149f, 0x1.000002p0f,
                       0x1.99999ap-4f, -0x3.4p5f, 0xFFp-8f };
        for (int i = 0; i < fs.length; i++)
            System.out.println("f " + fs[i] + " " + Float.floatToIntBits(fs[i]));
        System.out.println("sum " + (0x1p-3 + 0x1p-4) + " " + (0x1p3f * 0x1.8p0f));
        System.out.println("text " + Double.valueOf("0x1.8p1") + " " + (Double.valueOf("0x1.8p1").doubleValue() == 0x1.8p1));
    }
}
