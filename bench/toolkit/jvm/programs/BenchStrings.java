public class BenchStrings {
    public static void main(String[] args) {
        int total = 0;
        for (int round = 0; round < 200; round++) {
            StringBuffer sb = new StringBuffer();
            for (int i = 0; i < 1000; i++) sb.append(i).append(',');
            String s = sb.toString();
            total += s.length() + s.indexOf("999");
        }
        System.out.println(total);
    }
}
