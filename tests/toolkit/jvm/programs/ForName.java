// Class.forName: a class that is there, one that is not, and classes whose
// initialisers fail (the error reaches the caller, and a second request
// finds the class erroneous).
public class ForName {
    static boolean fail = true;

    static class Present {
        static int v = 5;
    }

    static class Faulty {
        static int v;
        static {
            if (ForName.fail)
                throw new IllegalStateException("no");
            v = 1;
        }
    }

    static class FaultyError {
        static {
            if (ForName.fail)
                throw new InternalError("broken");
        }
    }

    static void load(String name) {
        try {
            Class c = Class.forName(name);
            System.out.println("loaded " + c.getName());
        } catch (ClassNotFoundException e) {
            System.out.println("not found " + e.getMessage());
        } catch (ExceptionInInitializerError e) {
            Throwable cause = e.getException();
            System.out.println("initialiser failed: " + cause.getClass().getName() + " " + cause.getMessage());
        } catch (LinkageError e) {
            System.out.println("linkage error " + e.getClass().getName());
        } catch (Error e) {
            System.out.println("error " + e.getClass().getName() + " " + e.getMessage());
        }
    }

    public static void main(String[] args) {
        load("ForName$Present");
        System.out.println("present " + Present.v);
        load("java.lang.String");
        load("Nowhere");
        load("no.such.pkg.Thing");
        load("ForName$Faulty");
        load("ForName$Faulty");
        load("ForName$FaultyError");
    }
}
