public class Shapes {
    interface Shape { double area(); String name(); }
    interface Scalable { void scale(int f); }
    static abstract class Base implements Shape, Scalable {
        static int created;
        static final String KIND = "shape";
        static final int LIMIT = 42;
        static final long BIG = 1L << 40;
        static final double HALF = 0.5;
        protected int size;
        Base(int size) { this.size = size; created++; }
        public String name() { return KIND + ":" + getClass().getName(); }
        public void scale(int f) { size *= f; }
        public String toString() { return name() + "(" + size + ")=" + area(); }
    }
    static class Square extends Base {
        Square(int s) { super(s); }
        public double area() { return size * size; }
    }
    static class Circle extends Base {
        Circle(int r) { super(r); }
        public double area() { return 3 * size * size; }
        public String name() { return "circle"; }
    }
    static class Cube extends Square {
        Cube(int s) { super(s); }
        public double area() { return 6 * super.area(); }
    }
    static int counter;
    static { counter = 5; }
    public static void main(String[] args) {
        Shape[] shapes = { new Square(2), new Circle(3), new Cube(1) };
        for (int i = 0; i < shapes.length; i++) {
            ((Scalable) shapes[i]).scale(2);
            System.out.println(shapes[i]);
        }
        System.out.println("created " + Base.created + " counter " + counter + " " + Base.LIMIT + " " + Base.BIG + " " + Base.HALF);
        Object o = shapes[2];
        System.out.println((o instanceof Square) + " " + (o instanceof Circle) + " " + (o instanceof Scalable) + " " + (o instanceof Shape));
        int[][] grid = new int[3][4];
        for (int i = 0; i < 3; i++) for (int j = 0; j < 4; j++) grid[i][j] = i * j;
        System.out.println(grid[2][3] + " " + grid.length + " " + grid[1].length);
        long total = 0;
        for (int i = 0; i < 10; i++) {
            switch (i % 4) {
            case 0: total += 1; break;
            case 1: total += 10; break;
            case 2: total += 100; break;
            default: total += 1000;
            }
            switch (i * 1000) {
            case -5: total -= 1; break;
            case 3000: total += 7; break;
            case 100000: total += 9; break;
            default: break;
            }
        }
        System.out.println("switch " + total);
        java.util.Vector v = new java.util.Vector();
        for (int i = 0; i < 5; i++) v.addElement("item" + i);
        java.util.Hashtable h = new java.util.Hashtable();
        for (int i = 0; i < v.size(); i++) h.put(v.elementAt(i), new Integer(i * i));
        System.out.println(v.size() + " " + h.get("item3") + " " + h.containsKey("item9"));
    }
}
