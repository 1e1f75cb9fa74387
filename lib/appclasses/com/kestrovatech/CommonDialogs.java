package com.kestrovatech;

// The application's standard dialogs.
public class CommonDialogs {
    public static final int BUTTONS_OK_CANCEL = 0;
    public static final int BUTTONS_YES_NO = 1;
    private CommonDialogs() {}
    public static native boolean boolQueryDialog(String title, String message, int buttons);
    public static native int intQueryDialog(String title, String message, int value, int min, int max);
    public static native String stringQueryDialog(String title, String message, String text, boolean numeric);
    public static native void infoMessageDlg(String title, String message);
    public static native int listQueryDlg(String title, CommonDialogs$ListItem[] items);
    private static native long createBusyDlg(String title, String message);
    public static BusyDlg busyDlg(String title, String message) { return new BusyDlg(createBusyDlg(title, message)); }
    public static boolean boolQueryDialog(String title, String message)
    {
        return boolQueryDialog(title, message, BUTTONS_YES_NO);
    }
    public static String stringQueryDialog(String title, String message)
    {
        return stringQueryDialog(title, message, null, false);
    }
}
