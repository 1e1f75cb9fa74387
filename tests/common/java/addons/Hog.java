import java.util.Vector;

// Hostile add-on: allocates until the heap is exhausted, in a thread of its own.
public class Hog implements com.kestrovatech.KestrovaPlugin, Runnable {
    public void init() { new Thread(this).start(); }
    public void run()
    {
        Vector keep = new Vector();
        for (;;)
            keep.addElement(new int[10000]);
    }
}
