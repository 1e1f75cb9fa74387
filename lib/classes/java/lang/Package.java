package java.lang;

public class Package {
    private Package() {}
}
