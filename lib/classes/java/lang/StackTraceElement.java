package java.lang;

public final class StackTraceElement implements java.io.Serializable {
    private long element;
    StackTraceElement(long element) { this.element = element; }
    public native String getFileName();
    public native int getLineNumber();
    public native String getClassName();
    public native String getMethodName();
    public boolean isNativeMethod() { return getLineNumber() == -2; }
    public String toString() {
        StringBuffer b = new StringBuffer(getClassName()).append('.').append(getMethodName());
        String file = getFileName();
        int line = getLineNumber();
        if (line == -2)
            b.append("(Native Method)");
        else if (file == null)
            b.append("(Unknown Source)");
        else if (line < 0)
            b.append('(').append(file).append(')');
        else
            b.append('(').append(file).append(':').append(line).append(')');
        return b.toString();
    }
}
