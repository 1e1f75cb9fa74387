package com.kestrovatech;

// The application's standard dialogs.
public class CommonDialogs {
    public static final int BUTTONS_OK_CANCEL = 0;
    public static final int BUTTONS_YES_NO = 1;
    private CommonDialogs() {}
    public static native boolean boolQueryDialog(String title, String text, int buttons);
    public static native int intQueryDialog(String title, String text, int value, int min, int max);
    public static native String stringQueryDialog(String title, String text, String value, boolean password);
    public static native void infoMessageDlg(String title, String text);
    public static native int listQueryDlg(String title, CommonDialogs$ListItem[] items);
    private static native long createBusyDlg(String title, String text);
    public static BusyDlg busyDialog(String title, String text) { return new BusyDlg(createBusyDlg(title, text)); }
    public static boolean boolQueryDialog(String title, String text) { return boolQueryDialog(title, text, BUTTONS_OK_CANCEL); }
    public static void infoMessageDlg(String text) { infoMessageDlg(null, text); }
}
