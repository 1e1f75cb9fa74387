package com.kestrovatech;

// Typed values under integer keys, held by the application.
public class PropertyBag {
    private long nativeHandle;
    public PropertyBag() { nativeHandle = create(); }
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
    public native void addReference(int key, PropertyBag value);
    public native void addEpoch(int key, long value);
    public native long getEpoch(int key, int index);
    native long getReference(int key, int index);
    private native long create();
    public native void destroy();
    protected void finalize() { destroy(); }
}
