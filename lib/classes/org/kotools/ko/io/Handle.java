package org.kotools.ko.io;

public class Handle {
    private Handle() {}
    public static native long copy(long handle);
    public static native void close(long handle);
}
