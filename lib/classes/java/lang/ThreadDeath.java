package java.lang;

public class ThreadDeath extends Error implements java.io.Serializable {
    public ThreadDeath() { super(); }
}
