// Hostile add-on: its init never returns.
public class ZSpinner implements com.kestrovatech.KestrovaPlugin {
    static volatile long turns;
    public static void main(String[] args) { new ZSpinner().init(); }
    public void init()
    {
        System.out.println("spinner: spinning");
        for (;;)
            ++turns;
    }
}
