package java.lang;

public final class Void {
    public static final Class TYPE = null;
    private Void() {}
}
