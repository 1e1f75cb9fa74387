package java.io;

public class PrintWriter extends Writer {
    protected Writer out;
    private boolean error;
    public PrintWriter(Writer out) { this.out = out; }
    public PrintWriter(OutputStream out) { this.out = new OutputStreamWriter(out); }
    public void write(char[] b, int off, int len) { try { out.write(b, off, len); } catch (IOException e) { error = true; } }
    public boolean checkError() { flush(); return error; }
    public void flush() { try { out.flush(); } catch (IOException e) { error = true; } }
    public void close() { try { out.close(); } catch (IOException e) { error = true; } }
    public void print(String s) { try { out.write(s == null ? "null" : s); } catch (IOException e) { error = true; } }
    public void print(Object o) { print(String.valueOf(o)); }
    public void print(int i) { print(String.valueOf(i)); }
    public void println() { print("\n"); }
    public void println(String s) { print(s); println(); }
    public void println(Object o) { print(o); println(); }
    public void println(int i) { print(i); println(); }
}
