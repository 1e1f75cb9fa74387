package java.util;

public interface Iterator {
    boolean hasNext();
    Object next();
    void remove();
}
