// Two threads write their number into one log; the scheduler's turns show in
// the runs of equal numbers.
public class Spin {
    static int[] log = new int[2000];
    static int pos;

    static void spin(int id) {
        for (int i = 0; i < 1000; i++)
            log[pos++] = id;
    }

    static void race() throws InterruptedException {
        Thread a = new Thread("a") { public void run() { spin(1); } };
        Thread b = new Thread("b") { public void run() { spin(2); } };
        a.start();
        b.start();
        a.join();
        b.join();
    }
}
