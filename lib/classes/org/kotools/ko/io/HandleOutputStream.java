package org.kotools.ko.io;

public class HandleOutputStream extends java.io.OutputStream {
    private long handle;
    public HandleOutputStream(long handle) { this.handle = handle; }
    public native void write(int b) throws java.io.IOException;
    public native void write(byte[] b) throws java.io.IOException;
    public native void write(byte[] b, int off, int len) throws java.io.IOException;
    public native void close() throws java.io.IOException;
    public void flush() {}
}
