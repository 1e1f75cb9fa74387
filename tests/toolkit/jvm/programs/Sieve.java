public class Sieve {
    public static void main(String[] args) {
        int n = 100000;
        boolean[] composite = new boolean[n + 1];
        int count = 0;
        long sum = 0;
        for (int i = 2; i <= n; i++) {
            if (!composite[i]) {
                count++;
                sum += i;
                for (int j = i * 2; j <= n; j += i) composite[j] = true;
            }
        }
        System.out.println("primes below " + n + ": " + count + ", sum " + sum);
        int[] last = new int[10];
        int k = 0;
        for (int i = n; i >= 2 && k < 10; i--) if (!composite[i]) last[k++] = i;
        for (int i = 0; i < k; i++) System.out.print(last[i] + (i + 1 < k ? "," : "\n"));
    }
}
