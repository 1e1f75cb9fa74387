import com.kestrovatech.GPSLocation;
import com.kestrovatech.KestrovaPlugin;
import com.kestrovatech.Key;
import com.kestrovatech.Location;
import com.kestrovatech.MenuHandler;
import com.kestrovatech.Navigator;
import com.kestrovatech.WindowEventHandler;
import com.kestrovatech.map.ActionHandler;
import com.kestrovatech.map.Layer;
import com.kestrovatech.map.Point;
import com.kestrovatech.map.Polyline;

// The sample add-on: a menu item, a key handler, a layer with a point and a
// line near the map's centre that answers taps, the GPS location and a route
// to a place it picks.
public class KestrovaSample implements KestrovaPlugin, MenuHandler, WindowEventHandler, ActionHandler {
    static final int COMMAND_TOUR = 1;
    // The key that starts the tour as the menu item does: the space bar, in
    // the map window's key codes (F6 is the window's full-screen key and
    // never reaches add-ons).
    static final int TOUR_KEY = 22;

    private Layer layer;
    private Location destination;

    public void init()
    {
        Navigator.addMenuCommand("Sample add-on", this, COMMAND_TOUR);
        Navigator.addWindowEventHandler(this);
        Location[] area = Navigator.getViewArea();
        Location mid = Navigator.getViewMidpoint();
        double height = area[1].getLatitude() - area[0].getLatitude();
        double width = area[1].getLongitude() - area[0].getLongitude();
        // The point a fifth of the view above the centre, the line a fifth
        // below it from a third to two thirds across.
        Location pointAt = new Location(mid.getLatitude() + height / 5, mid.getLongitude());
        layer = new Layer();
        Point point = new Point(pointAt.getLatitude(), pointAt.getLongitude(), 12, 255, 0, 255);
        point.addActionArea(pointAt, 24, this);
        layer.add(point);
        Polyline line = new Polyline(6, 0, 255, 255);
        double lineLat = mid.getLatitude() - height / 5;
        line.addPoint(new Location(lineLat, area[0].getLongitude() + width / 3));
        line.addPoint(new Location(lineLat, area[0].getLongitude() + 2 * width / 3));
        layer.add(line);
        layer.redraw();
        destination = new Location(mid.getLatitude() - height / 4, mid.getLongitude() + width / 4);
        System.out.println("sample: layer drawn");
    }

    public void menuCommand(int command)
    {
        if (command != COMMAND_TOUR)
            return;
        GPSLocation here = GPSLocation.getLocation();
        System.out.println("sample: location " + here.getLatitude() + "," + here.getLongitude() + " fix "
                           + here.hasFix());
        Navigator.findRoute(destination, "Sample destination");
        System.out.println("sample: route requested");
    }

    public boolean keyEvent(Key key)
    {
        if (key.getCode() != TOUR_KEY)
            return false;
        System.out.println("sample: key " + key.getCode());
        menuCommand(COMMAND_TOUR);
        return true;
    }

    public void mapAction(int action, int x, int y, double lat, double lon)
    {
        System.out.println("sample: tap " + action + " at " + x + "," + y);
    }
}
