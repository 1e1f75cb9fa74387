package java.lang.reflect;

public class AccessibleObject {
    private boolean accessible;
    protected AccessibleObject() {}
    public boolean isAccessible() { return accessible; }
    public void setAccessible(boolean on) { accessible = on; }
}
