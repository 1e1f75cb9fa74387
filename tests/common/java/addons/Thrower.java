// Hostile add-on: its init throws.
public class Thrower implements com.kestrovatech.KestrovaPlugin {
    public void init() { throw new IllegalStateException("thrower refuses to start"); }
}
