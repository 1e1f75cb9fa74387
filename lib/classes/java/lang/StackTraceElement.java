package java.lang;

public final class StackTraceElement implements java.io.Serializable {
    private long element;
    StackTraceElement(long element) { this.element = element; }
    public native String getFileName();
    public native int getLineNumber();
    public native String getClassName();
    public native String getMethodName();
    public boolean isNativeMethod() { return getLineNumber() == -2; }
    public String toString() { return new StringBuffer(getClassName()).append('.').append(getMethodName()).toString(); }
}
