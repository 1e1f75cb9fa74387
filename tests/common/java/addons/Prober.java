import com.kestrovatech.Location;
import com.kestrovatech.Navigator;
import com.kestrovatech.map.Layer;
import com.kestrovatech.map.Point;
import com.kestrovatech.map.Polyline;

// Hostile add-on: calls natives with null and out-of-range arguments; each
// call must end in a Java exception (or be harmless), never in a crash.
public class Prober implements com.kestrovatech.KestrovaPlugin {
    interface Call { void run() throws Throwable; }

    static void attempt(String name, Call c)
    {
        try {
            c.run();
            System.out.println("prober: " + name + " returned");
        } catch (Throwable t) {
            System.out.println("prober: " + name + " threw " + t.getClass().getName());
        }
    }

    public void init()
    {
        final Layer layer = new Layer("prober", 0, 0);
        attempt("findRoute(null)", new Call() { public void run() { Navigator.findRoute(null, null); } });
        attempt("centerOnPoint(null)", new Call() { public void run() { Navigator.centerOnPoint(null, 1); } });
        attempt("addMarker(null)", new Call() { public void run() { Navigator.addMarker(null, null); } });
        attempt("addMenuCommand(null)", new Call() { public void run() { Navigator.addMenuCommand(null, null, 0); } });
        attempt("findAddress(null)", new Call() { public void run() { Navigator.findAddress(null, null, 0); } });
        attempt("Layer(null)", new Call() { public void run() { new Layer(null, 0, 0); } });
        attempt("add(null)", new Call() { public void run() { layer.add(null); } });
        attempt("Point(NaN)", new Call() { public void run() { new Point(Double.NaN, 1e308, -5, 999, -1, 300); } });
        attempt("addActionArea(null)", new Call() {
            public void run() { new Point(31, -24, 5, 0, 0, 0).addActionArea(1, 2, 3, 4, null); }
        });
        attempt("addPointWGS84(inf)", new Call() {
            public void run() { new Polyline(-3, 0, 0, 0).addPointWGS84(Double.POSITIVE_INFINITY, 0); }
        });
        attempt("setOutline(huge)", new Call() {
            public void run()
            {
                Polyline p = new Polyline(1, 0, 0, 0);
                p.setOutline(Integer.MAX_VALUE, Integer.MIN_VALUE, 0, Integer.MAX_VALUE);
                p.destroy();
                p.destroy();
                p.setColor(1, 2, 3);
            }
        });
        attempt("Locale.getString(-1)", new Call() { public void run() { com.kestrovatech.Locale.getString(-1); } });
        attempt("Locale.getString(736)", new Call() { public void run() { com.kestrovatech.Locale.getString(736); } });
        attempt("Connector(http)", new Call() {
            public void run() throws Exception { javax.microedition.io.Connector.openInputStream("http://x/y"); }
        });
        attempt("Location.distance(null)", new Call() { public void run() { new Location(1, 2).distance(null); } });
        System.out.println("prober: done");
    }
}
