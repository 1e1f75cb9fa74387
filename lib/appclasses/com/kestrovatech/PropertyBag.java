package com.kestrovatech;

import java.util.Date;

// Typed values under integer keys, held by the application. A persistent
// bag is owned by native code or by another bag and outlives this object.
public class PropertyBag {
    private long nativeHandle;
    private boolean persistent;
    public PropertyBag() { nativeHandle = create(); }
    private PropertyBag(long handle)
    {
        nativeHandle = handle;
        persistent = true;
    }
    public native int getCount(int key);
    public native void add(int key, boolean value);
    public native void add(int key, int value);
    public native void add(int key, double value);
    public native void add(int key, String value);
    public native void add(int key, byte[] value);
    public native boolean getBoolean(int key, int index);
    public native int getInt(int key, int index);
    public native double getDouble(int key, int index);
    public native String getString(int key, int index);
    public native byte[] getByteArray(int key, int index);
    private native void addReference(int key, PropertyBag value);
    private native void addEpoch(int key, long millis);
    private native long getEpoch(int key, int index);
    private native long getReference(int key, int index);
    private native long create();
    private native void destroy();
    public void add(int key, Date date) { addEpoch(key, date.getTime()); }
    // The native half marks the bag persistent once this bag owns it: a bag
    // refused here stays the caller's and is freed with its object.
    public void add(int key, PropertyBag bag) { addReference(key, bag); }
    public Date getDate(int key, int index) { return new Date(getEpoch(key, index)); }
    public PropertyBag getPropertyBag(int key, int index) { return new PropertyBag(getReference(key, index)); }
    protected void finalize()
    {
        if (!persistent)
            destroy();
    }
}
