package org.kotools.ko.io;

public class HandleInputStream extends java.io.InputStream {
    private long handle;
    public HandleInputStream(long handle) { this.handle = handle; }
    public native int read() throws java.io.IOException;
    public native int read(byte[] b, int off, int len) throws java.io.IOException;
    public native void close() throws java.io.IOException;
}
