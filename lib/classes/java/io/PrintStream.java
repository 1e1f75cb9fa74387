package java.io;

public class PrintStream extends FilterOutputStream {
    private boolean error;
    private boolean autoFlush;
    public PrintStream(OutputStream out) { super(out); }
    public PrintStream(OutputStream out, boolean autoFlush) { super(out); this.autoFlush = autoFlush; }
    public boolean checkError() { flush(); return error; }
    protected void setError() { error = true; }
    public void write(int b) { try { out.write(b); } catch (IOException e) { error = true; } }
    public void write(byte[] b, int off, int len) { try { out.write(b, off, len); } catch (IOException e) { error = true; } }
    public void flush() { try { out.flush(); } catch (IOException e) { error = true; } }
    public void close() { try { out.close(); } catch (IOException e) { error = true; } }
    private void emit(String s) { byte[] b = s.getBytes(); write(b, 0, b.length); }
    public void print(String s) { emit(s == null ? "null" : s); }
    public void print(Object o) { emit(String.valueOf(o)); }
    public void print(char[] s) { emit(new String(s)); }
    public void print(boolean b) { emit(String.valueOf(b)); }
    public void print(char c) { emit(String.valueOf(c)); }
    public void print(int i) { emit(String.valueOf(i)); }
    public void print(long l) { emit(String.valueOf(l)); }
    public void print(float f) { emit(String.valueOf(f)); }
    public void print(double d) { emit(String.valueOf(d)); }
    public void println() { newLine(); }
    // A line ends with "\n"; with automatic flushing the stream is flushed.
    private void newLine() {
        emit("\n");
        if (autoFlush)
            flush();
    }
    public void println(String s) { print(s); println(); }
    public void println(Object o) { print(o); println(); }
    public void println(char[] s) { print(s); println(); }
    public void println(boolean b) { print(b); println(); }
    public void println(char c) { print(c); println(); }
    public void println(int i) { print(i); println(); }
    public void println(long l) { print(l); println(); }
    public void println(float f) { print(f); println(); }
    public void println(double d) { print(d); println(); }
}
