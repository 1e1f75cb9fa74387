public class BenchExceptions {
    static int depth(int n, int code) {
        if (n == 0) throw new IllegalStateException("code " + code);
        return depth(n - 1, code) + 1;
    }
    public static void main(String[] args) {
        int total = 0;
        for (int i = 0; i < 20000; i++) {
            try {
                total += depth(10, i);
            } catch (IllegalStateException e) {
                total += e.getMessage().length();
            }
        }
        System.out.println(total);
    }
}
