// Allocates many times the heap in short-lived objects while a long linked
// structure stays alive; old objects keep being pointed at young ones.
public class GcChurn {
    static final class Node {
        Node next;
        int value;
        int[] payload;
        Node(int value, Node next) {
            this.value = value;
            this.next = next;
        }
    }

    public static void main(String[] args) {
        Node keep = null;
        for (int i = 0; i < 8000; i++)
            keep = new Node(i, keep);
        Node[] recent = new Node[64];
        long garbage = 0;
        for (int round = 0; round < 400; round++) {
            for (int i = 0; i < 1500; i++) {
                Node t = new Node(i, null);
                t.payload = new int[i % 17];
                garbage += t.payload.length;
                recent[(round * 31 + i) & 63] = t;
            }
            Node n = keep;
            for (int k = 0; k < round % 50; k++)
                n = n.next;
            n.payload = new int[] { round, round * 2 };
            n.next.next = new Node(n.next.next.value, n.next.next.next);
            String s = "round " + round;
            garbage += s.length();
        }
        long sum = 0;
        int count = 0;
        for (Node n = keep; n != null; n = n.next) {
            sum += n.value;
            if (n.payload != null)
                for (int j = 0; j < n.payload.length; j++)
                    sum += 31L * n.payload[j];
            count++;
        }
        for (int i = 0; i < recent.length; i++)
            sum += recent[i].value + recent[i].payload.length;
        System.out.println("kept " + count + " nodes, checksum " + sum + ", garbage " + garbage);
        Object[] ids = new Object[200];
        int distinct = 0;
        for (int i = 0; i < ids.length; i++) {
            ids[i] = new Object();
            int h = System.identityHashCode(ids[i]);
            boolean seen = false;
            for (int j = 0; j < i; j++)
                if (System.identityHashCode(ids[j]) == h)
                    seen = true;
            if (!seen)
                distinct++;
        }
        int[] before = new int[ids.length];
        for (int i = 0; i < ids.length; i++)
            before[i] = ids[i].hashCode();
        for (int i = 0; i < 100000; i++)
            garbage += new int[4].length;
        boolean stable = true;
        for (int i = 0; i < ids.length; i++)
            stable &= before[i] == ids[i].hashCode();
        System.out.println("identity hashes distinct " + (distinct > 190) + ", stable across collections " + stable);
    }
}
