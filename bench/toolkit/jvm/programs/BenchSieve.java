public class BenchSieve {
    public static void main(String[] args) {
        int total = 0;
        for (int round = 0; round < 10; round++) {
            int n = 1000000;
            boolean[] composite = new boolean[n + 1];
            int count = 0;
            for (int i = 2; i <= n; i++) {
                if (!composite[i]) {
                    count++;
                    for (int j = i + i; j <= n; j += i) composite[j] = true;
                }
            }
            total += count;
        }
        System.out.println(total);
    }
}
