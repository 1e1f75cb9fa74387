// Unreachable objects with a finaliser have it run exactly once.
public class Finalizers {
    static int finalized;
    static int sum;
    static Finalizers saved;
    int id;

    Finalizers(int id) {
        this.id = id;
    }

    protected void finalize() {
        synchronized (Finalizers.class) {
            finalized++;
            sum += id;
            if (id == 7)
                saved = this; // brought back once: its finaliser does not run again
        }
    }

    static int count() {
        synchronized (Finalizers.class) {
            return finalized;
        }
    }

    public static void main(String[] args) throws Exception {
        Finalizers live = new Finalizers(-1);
        for (int i = 0; i < 500; i++)
            new Finalizers(i);
        for (int k = 0; k < 400 && count() < 500; k++) {
            System.gc();
            System.runFinalization();
            Thread.sleep(5);
        }
        System.out.println("finalized " + count() + " sum " + sum);
        saved = null;
        for (int k = 0; k < 20; k++) {
            System.gc();
            System.runFinalization();
            Thread.sleep(5);
        }
        System.out.println("after dropping the revived one: finalized " + count() + ", live id " + live.id);
    }
}
