package java.lang;

public final class StackTraceElement implements java.io.Serializable {
    private long element;
    private StackTraceElement() {}
    public native String getFileName();
    public native int getLineNumber();
    public native String getClassName();
    public native String getMethodName();
    public String toString() { return new StringBuffer(getClassName()).append('.').append(getMethodName()).toString(); }
}
