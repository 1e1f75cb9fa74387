// Data streams through Connector under the add-on data folder (run in-process
// by the tests, which bind the folder).
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.IOException;
import javax.microedition.io.Connector;

public class ConnectorData {
    public static String run() throws IOException {
        DataOutputStream out = Connector.openDataOutputStream("file:///notes.bin");
        out.writeInt(0x01020304);
        out.writeUTF("r\u00e9sum\u00e9");
        out.writeDouble(-2.5);
        int size = out.size();
        out.close();

        DataInputStream in = Connector.openDataInputStream("//notes.bin");
        StringBuffer s = new StringBuffer();
        s.append(size).append(' ').append(Integer.toHexString(in.readInt())).append(' ').append(in.readUTF().length());
        s.append(' ').append(in.readDouble());
        try {
            in.readByte();
        } catch (EOFException e) {
            s.append(" eof");
        }
        in.close();
        try {
            Connector.openDataInputStream("http://host/notes.bin");
        } catch (IllegalArgumentException e) {
            s.append(' ').append(e.getMessage());
        }
        try {
            Connector.openDataInputStream("missing.bin");
        } catch (IOException e) {
            s.append(' ').append(e.getClass().getName());
        }
        return s.toString();
    }
}
