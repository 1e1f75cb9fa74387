import com.kestrovatech.GPSLocation;
import com.kestrovatech.Locale;
import com.kestrovatech.Location;
import javax.microedition.io.Connector;

// The application's built-in classes from Java: plain methods run, natives
// without a binding raise UnsatisfiedLinkError naming the method.
public class AppClasses {
    public static void main(String[] args) {
        Location l = new Location(52.5, 13.25);
        System.out.println("location " + l.getLatitude() + " " + l.getLongitude() + " " + l.getAltitude());
        GPSLocation g = new GPSLocation(1.5, 2.5, 3, true, 12.5, 270);
        System.out.println("gps " + g.hasFix() + " " + g.getVelocity() + " " + g.getHeading() + " " + g.getAltitude());
        try {
            Connector.open("socket://host:80");
        } catch (java.io.IOException e) {
            System.out.println(e.getClass().getName() + ": " + e.getMessage());
        }
        try {
            Connector.openInputStream("http://host/file");
        } catch (Exception e) {
            System.out.println(e.getClass().getName() + ": " + e.getMessage());
        }
        try {
            Connector.openInputStream("file:///data.txt");
        } catch (Throwable e) {
            System.out.println(e.getClass().getName() + ": " + e.getMessage());
        }
        try {
            System.out.println(Locale.getString(3));
        } catch (UnsatisfiedLinkError e) {
            System.out.println(e.getClass().getName() + ": " + e.getMessage());
        }
    }
}
