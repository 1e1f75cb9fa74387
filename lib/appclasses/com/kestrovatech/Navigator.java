package com.kestrovatech;

import java.io.File;
import java.util.Hashtable;
import java.util.Vector;

// The add-on's view of the navigation application; main loads the add-ons.
public class Navigator {
    private static Hashtable menuHandlers;
    private static int nextMenuHandlerId = 0;
    private static Vector windowHandlers;

    static {
        try {
            Class.forName("com.kestrovatech.Favourite");
        } catch (Throwable e) {
            e.printStackTrace();
        }
        menuHandlers = new Hashtable();
        windowHandlers = new Vector();
    }

    private Navigator() {}
    public static native String getMmcRoot();
    public static native String getPluginRoot();
    public static native Favourite[] getFavourites();
    private static native void addMenuItem(String text, int id);
    public static native Location findAddress(String country, String address, int flags);
    public static native void findRoute(Location destination, String name);
    public static native Location getViewMidpoint();
    public static native Location[] getViewArea();
    public static native void centerOnPoint(Location point, double scale);
    public static native void addMarker(Location point, String text);
    public static native void removeMarker();

    public static void main(String[] args)
    {
        String root = getPluginRoot();
        String[] names = new File(root).list();
        if (names == null)
            return;
        // In name order, whatever order the folder lists them in.
        for (int i = 1; i < names.length; ++i)
            for (int j = i; j > 0 && names[j - 1].compareTo(names[j]) > 0; --j) {
                String t = names[j];
                names[j] = names[j - 1];
                names[j - 1] = t;
            }
        for (int i = 0; i < names.length; ++i)
            if (!loadPlugin(root, names[i]))
                return;
    }

    // False when a throwable other than an Exception ended the loading: main stops.
    static boolean loadPlugin(String root, String name)
    {
        if (!new File(root + name).exists() || !name.endsWith(".jar"))
            return true;
        int dot = name.lastIndexOf('.');
        if (dot < 0)
            return true;
        String className = name.substring(0, dot);
        KestrovaPlugin plugin;
        try {
            System.out.println("Loading plugin `" + className + "'");
            plugin = (KestrovaPlugin) Class.forName(className).newInstance();
        } catch (Exception e) {
            e.printStackTrace();
            return true;
        } catch (Throwable t) {
            t.printStackTrace();
            return false;
        }
        try {
            System.out.println("Initializing plugin");
            plugin.init();
        } catch (Throwable t) {
            System.err.println("Failed to initialize plugin `" + className + "'");
            t.printStackTrace();
        }
        return true;
    }

    public static void addMenuCommand(String label, MenuHandler handler, int command)
    {
        int number = nextMenuHandlerId++;
        addMenuItem(label, number);
        menuHandlers.put(new Integer(number), new Navigator$MenuItem(handler, command));
    }

    static void menuCommand(int number)
    {
        Navigator$MenuItem item = (Navigator$MenuItem) menuHandlers.get(new Integer(number));
        if (item == null) {
            System.err.println("Unknown menu item " + number);
            return;
        }
        item.handler.menuCommand(item.command);
    }

    public static void addWindowEventHandler(WindowEventHandler h) { windowHandlers.addElement(h); }
    public static void removeWindowEventHandler(WindowEventHandler h) { windowHandlers.removeElement(h); }

    static boolean handleWindowKeyEvent(int key)
    {
        System.out.println("Navigator.handleWindowKeyEvent(): key = " + key);
        Key k = new Key(key);
        for (int i = 0; i < windowHandlers.size(); ++i)
            if (((WindowEventHandler) windowHandlers.elementAt(i)).keyEvent(k))
                return true;
        return false;
    }
}
