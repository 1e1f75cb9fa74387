package java.lang;

public class Object {
    public Object() {}
    public final native Class getClass();
    public native int hashCode();
    public native boolean equals(Object obj);
    protected native Object clone() throws CloneNotSupportedException;
    public String toString() { return new StringBuffer(getClass().getName()).append('@').append(Integer.toHexString(hashCode())).toString(); }
    public final native void notify();
    public final native void notifyAll();
    public final native void wait() throws InterruptedException;
    public final native void wait(long millis) throws InterruptedException;
    public final native void wait(long millis, int nanos) throws InterruptedException;
    protected void finalize() throws Throwable {}
}
