package java.lang;

public class ThreadDeath extends Error {
    public ThreadDeath() { super(); }
    public ThreadDeath(String message) { super(message); }
}
