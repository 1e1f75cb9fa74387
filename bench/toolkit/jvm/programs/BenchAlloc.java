// Allocation-heavy: short-lived nodes, arrays and strings while a linked
// structure of 20000 nodes stays alive and keeps being updated.
public class BenchAlloc {
    static final class Node {
        Node next;
        int value;
        int[] data;
        Node(int value, Node next) { this.value = value; this.next = next; }
    }
    public static void main(String[] args) {
        Node keep = null;
        for (int i = 0; i < 20000; i++)
            keep = new Node(i, keep);
        Node[] ring = new Node[256];
        long sum = 0;
        for (int round = 0; round < 2000; round++) {
            for (int i = 0; i < 1000; i++) {
                Node t = new Node(i, null);
                t.data = new int[(i & 7) + 1];
                t.data[0] = round;
                ring[(round + i) & 255] = t;
                sum += t.data.length;
            }
            Node n = keep;
            for (int k = 0; k < (round & 63); k++)
                n = n.next;
            n.data = new int[] { round };
            if ((round & 15) == 0)
                sum += ("r" + round).length();
        }
        for (Node n = keep; n != null; n = n.next)
            sum += n.value + (n.data != null ? n.data[0] : 0);
        System.out.println(sum);
    }
}
