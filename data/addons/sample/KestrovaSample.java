import com.kestrovatech.BusyDlg;
import com.kestrovatech.CommonDialogs;
import com.kestrovatech.GPSLocation;
import com.kestrovatech.Http;
import com.kestrovatech.KestrovaPlugin;
import com.kestrovatech.Key;
import com.kestrovatech.Location;
import com.kestrovatech.MenuHandler;
import com.kestrovatech.Navigator;
import com.kestrovatech.PropertyBag;
import com.kestrovatech.ServCom;
import com.kestrovatech.ServComListener;
import com.kestrovatech.ServComMessage;
import com.kestrovatech.WindowEventHandler;
import com.kestrovatech.map.ActionHandler;
import com.kestrovatech.map.ImageLayer;
import com.kestrovatech.map.ImageLayerListener;
import com.kestrovatech.map.Layer;
import com.kestrovatech.map.Point;
import com.kestrovatech.map.Polyline;
import com.kestrovatech.ui.Command;
import com.kestrovatech.ui.Dialog;
import com.kestrovatech.ui.DialogListener;
import com.kestrovatech.ui.EditControl;
import com.kestrovatech.ui.ListControl;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.util.Hashtable;

// The sample add-on: a menu item, a key handler, a layer with a point and a
// line near the map's centre that answers taps, the GPS location, a route to
// a place it picks, and a request to the web and to the service server named
// in its settings ("KestrovaSample.properties" beside its jar, lines
// "http=URL" and "servcom=URL"). A tap on its point opens a dialog whose
// note it saves beside its jar; zoomed out, an image tile marks where the
// map first was.
public class KestrovaSample implements KestrovaPlugin, MenuHandler, WindowEventHandler, ActionHandler,
                                       ServComListener, DialogListener, ImageLayerListener {
    static final int COMMAND_TOUR = 1;
    // The dialog's Save button.
    static final int COMMAND_SAVE = 1;
    // The key that starts the tour as the menu item does: the space bar, in
    // the map window's key codes (F6 is the window's full-screen key and
    // never reaches add-ons).
    static final int TOUR_KEY = 22;

    private Layer layer;
    private Location destination;
    private Hashtable settings = new Hashtable();
    private ServCom services;
    private ImageLayer tiles;
    private Location tileAt;
    private Dialog dialog;
    private EditControl note;
    private ListControl places;

    public void init()
    {
        readSettings(Navigator.getPluginRoot() + "KestrovaSample.properties");
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
        // The tile layer only from 1:200000 out, where its tile (a tenth of
        // the view at 1:1000000) no longer covers the whole map.
        tiles = new ImageLayer(200000, 0, 256);
        tiles.addListener(this);
        tileAt = mid;
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
        String web = (String) settings.get("http");
        if (web != null)
            fetch(web);
        String server = (String) settings.get("servcom");
        if (server != null)
            exchange(server);
    }

    // Posts a greeting; the server's answer is printed.
    void fetch(String url)
    {
        Http http = new Http();
        try {
            byte[] reply = http.operation(Http.POST, url, "hello from the sample".getBytes());
            System.out.println("sample: http " + http.status + " " + new String(reply));
        } catch (IOException e) {
            System.out.println("sample: http failed " + http.status + " " + e.getMessage());
        } finally {
            http.destroy();
        }
    }

    // Sends a bag to the service server's echo service; the reply comes to
    // communicationComplete.
    void exchange(String url)
    {
        if (services == null)
            services = new ServCom();
        PropertyBag bag = new PropertyBag();
        bag.add(1, "sample bag");
        bag.add(2, 7);
        ServComMessage message = new ServComMessage();
        message.url = url;
        message.serviceId = 99;
        message.commandId = 1;
        message.commandVersion = 1;
        message.bag = bag;
        services.send(message, null, this);
        System.out.println("sample: servcom sent");
    }

    public void communicationComplete(int status, int value, String text, ServComMessage message)
    {
        String line = "sample: servcom " + status;
        if (message.bag != null)
            line += " " + message.bag.getString(1, 0) + " " + message.bag.getInt(2, 0);
        System.out.println(line);
    }

    // "name=value" lines; a missing file leaves no settings.
    void readSettings(String path)
    {
        StringBuffer text = new StringBuffer();
        try {
            FileInputStream in = new FileInputStream(path);
            for (int c = in.read(); c >= 0; c = in.read())
                text.append((char) c);
            in.close();
        } catch (IOException e) {
            return;
        }
        int start = 0;
        String all = text.toString();
        while (start < all.length()) {
            int end = all.indexOf('\n', start);
            if (end < 0)
                end = all.length();
            String line = all.substring(start, end).trim();
            int eq = line.indexOf('=');
            if (eq > 0)
                settings.put(line.substring(0, eq).trim(), line.substring(eq + 1).trim());
            start = end + 1;
        }
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
        if (dialog != null)
            return;
        dialog = new Dialog("Sample note");
        note = new EditControl("Note", "");
        places = new ListControl(new String[] {"Home", "Work", "Harbour"});
        dialog.addControl(note);
        dialog.addControl(places);
        dialog.addCommand(new Command(COMMAND_SAVE, "Save"));
        dialog.addDialogListener(this);
        dialog.show();
        System.out.println("sample: dialog open");
    }

    // Of the tiles in view, the one at the centre of the first view gets the
    // sample's image.
    public void requestTile(double lat, double lon, double size, int zoom)
    {
        if (tileAt.getLatitude() < lat || tileAt.getLatitude() >= lat + size || tileAt.getLongitude() < lon
            || tileAt.getLongitude() >= lon + size)
            return;
        tiles.addTile("KestrovaSample-tile.png", lat, lon);
        System.out.println("sample: tile at " + lat + "," + lon);
    }

    public void flushRequests() {}

    // Save: the note and the chosen place go to "KestrovaSample.note".
    public void eventHandler(int command)
    {
        String text = note.getText() + " @" + places.getSelectionIndex();
        dialog.close();
        dialog = null;
        BusyDlg busy = CommonDialogs.busyDlg("Sample note", "Saving");
        try {
            FileOutputStream out = new FileOutputStream(Navigator.getPluginRoot() + "KestrovaSample.note");
            out.write(text.getBytes());
            out.close();
            System.out.println("sample: note " + text);
        } catch (IOException e) {
            System.out.println("sample: note not saved " + e.getMessage());
        } finally {
            busy.close();
        }
    }
}
