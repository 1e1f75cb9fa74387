// Edge values of Character, Integer, Long, Float, Double and Math.
public class NumberEdges {
    static void p(String label, String value) {
        System.out.println(label + ": " + value);
    }

    public static void main(String[] args) {
        int[] ints = { 0, 1, -1, 255, -256, Integer.MAX_VALUE, Integer.MIN_VALUE };
        int[] radixes = { 2, 8, 10, 16, 36 };
        for (int i = 0; i < ints.length; i++) {
            StringBuffer b = new StringBuffer();
            for (int r = 0; r < radixes.length; r++)
                b.append(Integer.toString(ints[i], radixes[r])).append(' ');
            b.append(Integer.toHexString(ints[i])).append(' ').append(Integer.toOctalString(ints[i])).append(' ')
                .append(Integer.toBinaryString(ints[i]));
            p("int " + ints[i], b.toString());
        }
        long[] longs = { 0L, -1L, Long.MAX_VALUE, Long.MIN_VALUE, 1L << 40 };
        for (int i = 0; i < longs.length; i++)
            p("long " + longs[i], Long.toString(longs[i], 36) + " " + Long.toString(longs[i], 2) + " "
                                      + Long.toHexString(longs[i]));
        String[] parse = { "0", "-0", "+5", "2147483647", "-2147483648", "2147483648", "", "-", "12a", " 1", "zz" };
        for (int i = 0; i < parse.length; i++) {
            String r;
            try {
                r = String.valueOf(Integer.parseInt(parse[i]));
            } catch (NumberFormatException e) {
                r = "NumberFormatException";
            }
            String r36;
            try {
                r36 = String.valueOf(Integer.parseInt(parse[i], 36));
            } catch (NumberFormatException e) {
                r36 = "NumberFormatException";
            }
            p("parseInt \"" + parse[i] + "\"", r + " / base 36 " + r36);
        }
        String[] lparse = { "9223372036854775807", "-9223372036854775808", "9223372036854775808", "-1" };
        for (int i = 0; i < lparse.length; i++) {
            try {
                p("parseLong " + lparse[i], String.valueOf(Long.parseLong(lparse[i])));
            } catch (NumberFormatException e) {
                p("parseLong " + lparse[i], "NumberFormatException");
            }
        }
        double[] ds = { 0.0, -0.0, 1.0, -1.5, 0.1, 1e7, 1.0E-3, 12345.678, 1e21, 1e-5, Double.MAX_VALUE,
                        Double.NaN, Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY };
        for (int i = 0; i < ds.length; i++) {
            double d = ds[i];
            p("double " + d, Double.isNaN(d) + " " + Double.isInfinite(d) + " " + Long.toHexString(Double.doubleToLongBits(d))
                                 + " " + (float) d + " " + (int) d + " " + (long) d + " " + Math.abs(d) + " "
                                 + Math.floor(d) + " " + Math.ceil(d) + " " + Math.sqrt(d) + " " + Math.round(d));
        }
        float[] fs = { 0f, -0f, 1.5f, 0.1f, 3.4028235e38f, Float.NaN, Float.NEGATIVE_INFINITY, 16777217f };
        p("min values", Long.toHexString(Double.doubleToLongBits(Double.MIN_VALUE)) + " " + (Double.MIN_VALUE / 2 == 0)
                            + " " + Integer.toHexString(Float.floatToIntBits(Float.MIN_VALUE)) + " "
                            + (Float.MIN_VALUE / 2 == 0) + " " + (Double.MIN_VALUE > 0));
        for (int i = 0; i < fs.length; i++) {
            float f = fs[i];
            p("float " + f, Float.isNaN(f) + " " + Integer.toHexString(Float.floatToIntBits(f)) + " " + (double) f + " "
                                + (int) f + " " + Math.round(f) + " " + Math.abs(f));
        }
        p("compare", Double.compare(0.0, -0.0) + " " + Double.compare(Double.NaN, Double.NaN) + " "
                         + new Double(Double.NaN).equals(new Double(Double.NaN)) + " " + (0.0 == -0.0) + " "
                         + new Double(0.0).equals(new Double(-0.0)) + " " + (Double.NaN == Double.NaN));
        p("min max", Math.min(-0.0, 0.0) + " " + Math.max(-0.0, 0.0) + " " + Math.min(Double.NaN, 1.0) + " "
                         + Math.max(1, 2) + " " + Math.min(Long.MIN_VALUE, 0L) + " " + Math.min(1.5f, Float.NaN));
        p("abs", Math.abs(Integer.MIN_VALUE) + " " + Math.abs(Long.MIN_VALUE) + " " + Math.abs(-0.0f));
        p("division", (Integer.MIN_VALUE / -1) + " " + (Integer.MIN_VALUE % -1) + " " + (Long.MIN_VALUE / -1L) + " "
                          + (-7 / 2) + " " + (-7 % 2) + " " + (7.5 % 2) + " " + (-7.5 % 2) + " " + (1.0 / 0) + " "
                          + (0.0 / 0));
        p("shifts", (1 << 33) + " " + (-1 >>> 28) + " " + (-16 >> 2) + " " + (1L << 65) + " " + (-1L >>> 60));
        p("trig", Math.sin(0.0) + " " + Math.cos(0.0) + " " + Math.atan(1.0) + " " + Math.tan(0.0) + " "
                      + Math.asin(2.0) + " " + Math.pow(2.0, 10.0) + " " + Math.sqrt(-1.0) + " " + Math.pow(0.0, -1.0));
        p("round", Math.round(-2.5) + " " + Math.round(2.5) + " " + Math.round(Double.NaN) + " " + Math.round(1e20) + " "
                       + Math.round(-1e20f) + " " + Math.round(0.49999999999999994) + " " + Math.round(-0.5f));
        p("narrowing", (byte) 200 + " " + (short) 70000 + " " + (char) 65 + " " + (int) 'z' + " " + (int) 3e10 + " "
                           + (long) Double.NaN + " " + (int) Float.NEGATIVE_INFINITY);
        char[] cs = { 'a', 'Z', '5', ' ', '\t', '\u00e9', '\u00df', '_', '$', '\u0000', '\u2028', '\uffff' };
        for (int i = 0; i < cs.length; i++) {
            char c = cs[i];
            p("char " + (int) c, Character.isLetter(c) + " " + Character.isDigit(c) + " " + Character.isLetterOrDigit(c)
                                      + " " + Character.isUpperCase(c) + " " + Character.isLowerCase(c) + " "
                                      + Character.isWhitespace(c) + " " + Character.isSpaceChar(c) + " "
                                      + Character.isJavaIdentifierStart(c) + " " + Character.isJavaIdentifierPart(c)
                                      + " " + (int) Character.toUpperCase(c) + " " + (int) Character.toLowerCase(c)
                                      + " " + Character.getType(c) + " " + Character.isISOControl(c));
        }
        p("digits", Character.digit('7', 10) + " " + Character.digit('f', 16) + " " + Character.digit('F', 16) + " "
                        + Character.digit('g', 16) + " " + Character.digit('z', 36) + " " + Character.digit('5', 2) + " "
                        + Character.forDigit(11, 16) + " " + (int) Character.forDigit(11, 10) + " "
                        + Character.getNumericValue('a'));
        p("wrappers", Integer.valueOf("-12").intValue() + " " + new Integer(7).equals(new Integer(7)) + " "
                          + new Integer(7).hashCode() + " " + new Long(1L << 40).hashCode() + " "
                          + new Double(1.5).hashCode() + " " + new Float(1.5f).hashCode() + " "
                          + new Character('x').hashCode() + " " + Boolean.TRUE.hashCode() + " "
                          + new Integer(3).compareTo(new Integer(5)) + " " + Byte.parseByte("-128") + " "
                          + Short.parseShort("7fff", 16));
        p("valueOf", Double.valueOf("1e3") + " " + Double.parseDouble("-0") + " " + Float.parseFloat("-3.25e2") + " "
                         + Double.parseDouble("  2.5  ") + " " + Double.parseDouble("1E-2"));
        try {
            Double.parseDouble("abc");
        } catch (NumberFormatException e) {
            p("bad double", "NumberFormatException");
        }
    }
}
