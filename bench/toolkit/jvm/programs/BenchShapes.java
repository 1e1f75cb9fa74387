public class BenchShapes {
    interface Shape { int area(); }
    static abstract class Base implements Shape {
        static int made;
        Base() { made++; }
        public String toString() { return "shape " + area(); }
    }
    static class Rect extends Base {
        final int w, h;
        Rect(int w, int h) { this.w = w; this.h = h; }
        public int area() { return w * h; }
    }
    static class Square extends Rect {
        Square(int s) { super(s, s); }
    }
    static class Tri extends Base {
        final int b, h;
        Tri(int b, int h) { this.b = b; this.h = h; }
        public int area() { return b * h / 2; }
    }
    public static void main(String[] args) {
        long total = 0;
        for (int i = 0; i < 300000; i++) {
            Shape s = (i % 3 == 0) ? (Shape) new Rect(i & 15, 3) : (i % 3 == 1) ? (Shape) new Square(i & 7) : new Tri(i & 31, 4);
            total += s.area();
        }
        System.out.println(total + " " + Base.made);
    }
}
