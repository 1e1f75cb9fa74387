package java.util;

public class Hashtable {
    private static class Entry {
        final Object key;
        Object value;
        Entry next;
        Entry(Object k, Object v, Entry n) { key = k; value = v; next = n; }
    }
    private Entry[] table = new Entry[16];
    private int count;
    public Hashtable() {}
    public Hashtable(int capacity) {}
    private int index(Object key) { return (key.hashCode() & 0x7fffffff) % table.length; }
    public synchronized int size() { return count; }
    public synchronized boolean isEmpty() { return count == 0; }
    public synchronized Object get(Object key) {
        for (Entry e = table[index(key)]; e != null; e = e.next) if (e.key.equals(key)) return e.value;
        return null;
    }
    public synchronized boolean containsKey(Object key) {
        for (Entry e = table[index(key)]; e != null; e = e.next) if (e.key.equals(key)) return true;
        return false;
    }
    public synchronized Object put(Object key, Object value) {
        if (key == null || value == null) throw new NullPointerException();
        int i = index(key);
        for (Entry e = table[i]; e != null; e = e.next)
            if (e.key.equals(key)) { Object old = e.value; e.value = value; return old; }
        if (count >= table.length * 3 / 4) { rehash(); i = index(key); }
        table[i] = new Entry(key, value, table[i]);
        count++;
        return null;
    }
    private void rehash() {
        Entry[] old = table;
        table = new Entry[old.length * 2];
        for (int i = 0; i < old.length; i++)
            for (Entry e = old[i]; e != null; ) { Entry n = e.next; int k = index(e.key); e.next = table[k]; table[k] = e; e = n; }
    }
    public synchronized Object remove(Object key) {
        int i = index(key);
        for (Entry e = table[i], p = null; e != null; p = e, e = e.next)
            if (e.key.equals(key)) { if (p == null) table[i] = e.next; else p.next = e.next; count--; return e.value; }
        return null;
    }
    public synchronized void clear() { table = new Entry[16]; count = 0; }
    public synchronized Enumeration keys() {
        final Vector v = new Vector();
        for (int i = 0; i < table.length; i++) for (Entry e = table[i]; e != null; e = e.next) v.addElement(e.key);
        return v.elements();
    }
    public synchronized Enumeration elements() {
        final Vector v = new Vector();
        for (int i = 0; i < table.length; i++) for (Entry e = table[i]; e != null; e = e.next) v.addElement(e.value);
        return v.elements();
    }
}
