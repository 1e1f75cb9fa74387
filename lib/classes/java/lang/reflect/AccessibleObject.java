package java.lang.reflect;

public class AccessibleObject {
    private boolean accessible;
    protected AccessibleObject() {}
    public boolean isAccessible() { return accessible; }
    public void setAccessible(boolean on) { accessible = on; }
    public static void setAccessible(AccessibleObject[] array, boolean on) {
        for (int i = 0; i < array.length; i++)
            array[i].accessible = on;
    }
}
