public class Strings {
    public static void main(String[] args) {
        StringBuffer sb = new StringBuffer();
        for (int i = 0; i < 2000; i++) {
            sb.append(i % 10);
            if (i % 100 == 99) sb.append('\n');
        }
        String s = sb.toString();
        System.out.println(s.length() + " " + s.indexOf("789") + " " + s.lastIndexOf('5') + " " + s.hashCode());
        String t = "Hello, World";
        System.out.println(t.toUpperCase() + "|" + t.toLowerCase() + "|" + t.substring(7) + "|" + t.charAt(4));
        System.out.println(t.equals("Hello, World") + " " + t.equalsIgnoreCase("HELLO, world") + " " + t.compareTo("Hello"));
        System.out.println(t.startsWith("Hell") + " " + t.endsWith("rld") + " " + t.replace('l', 'L') + " [" + "  x y  ".trim() + "]");
        System.out.println(Integer.toHexString(-255) + " " + Integer.toBinaryString(10) + " " + Long.toString(-1234567890123L)
            + " " + Integer.parseInt("-42") + " " + Long.parseLong("123456789012") + " " + Integer.MAX_VALUE + " " + Integer.MIN_VALUE);
        System.out.println(1.5 + " " + (-0.25) + " " + 100.0 + " " + 1234567.0 + " " + 1.0E7 + " " + 123456789.0 + " " + 0.0001 + " " + (1.0 / 3));
        System.out.println(2.5f + " " + (1.0f / 3) + " " + (double) (1.0f / 3) + " " + Double.NaN + " " + (1 / 0.0) + " " + Float.NEGATIVE_INFINITY);
        System.out.println((int) 3.99 + " " + (int) -3.99 + " " + (long) 1e30 + " " + (int) Double.NaN + " " + (int) -1e20 + " " + (char) 66 + " " + (byte) 300 + " " + (short) 70000);
        System.out.println(7.5 % 2.0 + " " + (-7.5 % 2.0) + " " + 5.0 % (1 / 0.0) + " " + (1e300 * 10 % 3) + " " + 7.25f % 2f + " " + (-7 % 3) + " " + (7 / -2));
        char[] cs = t.toCharArray();
        int upper = 0;
        for (int i = 0; i < cs.length; i++) if (Character.isUpperCase(cs[i])) upper++;
        System.out.println("upper " + upper + " " + Character.isDigit('7') + " " + Character.toUpperCase('q') + " " + String.valueOf(true));
        String joined = "";
        for (int i = 0; i < 5; i++) joined = joined + i + ";";
        System.out.println(joined + " " + "abc".compareTo("abd") + " " + "b".compareTo("a"));
        try {
            Integer.parseInt("12x");
        } catch (NumberFormatException e) {
            System.out.println("NumberFormatException " + e.getMessage());
        }
    }
}
