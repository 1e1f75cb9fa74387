import com.kestrovatech.Http;
import com.kestrovatech.PropertyBag;
import com.kestrovatech.ServCom;
import com.kestrovatech.ServComListener;
import com.kestrovatech.ServComMessage;
import java.io.IOException;
import java.util.Date;

// Requests of the network bindings; each outcome as one line of text.
public class NetAddon implements ServComListener {
    // "STATUS BODY" or "STATUS IOException MESSAGE".
    public static String fetch(int method, String url, String body) throws Exception
    {
        Http http = new Http();
        try {
            byte[] reply = http.operation(method, url, body == null ? null : body.getBytes());
            return http.status + " " + new String(reply);
        } catch (IOException e) {
            return http.status + " IOException " + e.getMessage();
        } finally {
            http.destroy();
        }
    }

    // Every value type in and out of a bag, a nested bag among them.
    public static String bagRoundTrip()
    {
        PropertyBag bag = new PropertyBag();
        bag.add(1, true);
        bag.add(2, -7);
        bag.add(3, 2.5);
        bag.add(4, "Stra\u00dfe");
        bag.add(5, new byte[] {1, 2, 3});
        bag.add(5, new byte[0]);
        bag.add(6, new Date(1500));
        bag.add(6, new Date(-1500));
        PropertyBag inner = new PropertyBag();
        inner.add(1, 99);
        bag.add(7, inner);
        inner.add(2, "added later");
        PropertyBag again = bag.getPropertyBag(7, 0);
        return bag.getBoolean(1, 0) + " " + bag.getInt(2, 0) + " " + bag.getDouble(3, 0) + " " + bag.getString(4, 0) +
               " " + bag.getByteArray(5, 0).length + "/" + bag.getByteArray(5, 1).length + " " +
               bag.getDate(6, 0).getTime() + "/" + bag.getDate(6, 1).getTime() + " " + again.getInt(1, 0) + " " +
               again.getString(2, 0) + " " + bag.getCount(5) + " " + bag.getCount(8);
    }

    // A nested bag whose Java object is collected stays in its outer bag.
    public static int nestedSurvives()
    {
        PropertyBag bag = new PropertyBag();
        addInner(bag);
        for (int i = 0; i < 3; i++) {
            System.gc();
            byte[] churn = new byte[100000];
            churn[0] = 1;
        }
        return bag.getPropertyBag(1, 0).getInt(1, 0);
    }
    private static void addInner(PropertyBag bag)
    {
        PropertyBag inner = new PropertyBag();
        inner.add(1, 41);
        bag.add(1, inner);
    }

    // One call each that must raise.
    public static void bagMissingKey() { new PropertyBag().getInt(3, 0); }
    public static void bagMissingIndex()
    {
        PropertyBag bag = new PropertyBag();
        bag.add(3, 1);
        bag.getInt(3, 1);
    }
    public static void bagWrongType()
    {
        PropertyBag bag = new PropertyBag();
        bag.add(3, "text");
        bag.getInt(3, 0);
    }
    public static void bagNullString() { new PropertyBag().add(1, (String) null); }
    public static void bagNullBytes() { new PropertyBag().add(1, (byte[]) null); }
    public static void bagInItself()
    {
        PropertyBag bag = new PropertyBag();
        bag.add(1, bag);
    }
    public static void bagNestedTwice()
    {
        PropertyBag inner = new PropertyBag();
        new PropertyBag().add(1, inner);
        new PropertyBag().add(1, inner);
    }
    public static void bagAfterSend()
    {
        PropertyBag bag = new PropertyBag();
        ServComMessage m = new ServComMessage();
        m.url = "http://127.0.0.1:9/";
        m.bag = bag;
        channel().send(m, null, new NetAddon());
        bag.add(1, 1);
    }

    static ServCom channel;
    static String reply;
    static int replies;

    static ServCom channel()
    {
        if (channel == null)
            channel = new ServCom();
        return channel;
    }

    public static long send(String url, int service)
    {
        PropertyBag bag = new PropertyBag();
        bag.add(1, "kestrel");
        bag.add(2, 42);
        PropertyBag inner = new PropertyBag();
        inner.add(3, true);
        bag.add(4, inner);
        ServComMessage m = new ServComMessage();
        m.url = url;
        m.serviceId = service;
        m.commandId = 8;
        m.commandVersion = 9;
        m.bag = bag;
        return channel().send(m, null, new NetAddon());
    }

    public void communicationComplete(int status, int value, String text, ServComMessage message)
    {
        replies++;
        String line = status + " " + message.serviceId + "/" + message.commandId + "/" + message.commandVersion;
        if (message.bag != null)
            line += " " + message.bag.getString(1, 0) + " " + message.bag.getInt(2, 0) + " " +
                    message.bag.getPropertyBag(4, 0).getBoolean(3, 0);
        reply = line;
    }

    public static void cancel(long id) { channel().cancel(id); }
    public static String reply() { return reply; }
    public static int replies() { return replies; }
}
