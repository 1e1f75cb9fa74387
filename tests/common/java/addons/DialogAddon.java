import com.kestrovatech.CommonDialogs;
import com.kestrovatech.CommonDialogs$ListItem;
import com.kestrovatech.ui.Command;
import com.kestrovatech.ui.Dialog;
import com.kestrovatech.ui.DialogListener;
import com.kestrovatech.ui.EditControl;
import com.kestrovatech.ui.ListControl;

// A dialog with an edit control, a list and a Done command; Done records
// the command, the edited text and the chosen row, and closes the dialog.
public class DialogAddon implements DialogListener {
    static Dialog dialog;
    static EditControl edit;
    static ListControl list;
    static String result;
    static int commands;

    public static void open()
    {
        dialog = new Dialog("Add-on dialog");
        edit = new EditControl("Name", "start");
        list = new ListControl(new String[] {"alpha", "beta", "gamma"});
        dialog.addControl(edit);
        dialog.addControl(list);
        dialog.addCommand(new Command(7, "Done"));
        dialog.addDialogListener(new DialogAddon());
        dialog.show();
    }

    public void eventHandler(int command)
    {
        ++commands;
        result = command + ":" + edit.getText() + ":" + list.getSelectionIndex();
        dialog.close();
    }

    public static String result() { return result; }
    public static int commands() { return commands; }

    // Forgets the dialog, so that the collector can finalise it.
    public static void drop()
    {
        dialog = null;
        edit = null;
        list = null;
    }

    public static int choose()
    {
        CommonDialogs$ListItem[] items = new CommonDialogs$ListItem[] {new CommonDialogs$ListItem("north", "up"),
                                                                       new CommonDialogs$ListItem("south", "down"),
                                                                       new CommonDialogs$ListItem("west", "left")};
        return CommonDialogs.listQueryDlg("Which way", items);
    }
}
