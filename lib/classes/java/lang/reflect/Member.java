package java.lang.reflect;

public interface Member {
    Class getDeclaringClass();
    String getName();
    int getModifiers();
}
