package java.util;

public class Vector {
    protected Object[] elementData;
    protected int elementCount;
    public Vector() { this(10); }
    public Vector(int capacity) { elementData = new Object[capacity > 0 ? capacity : 1]; }
    public synchronized int size() { return elementCount; }
    public synchronized boolean isEmpty() { return elementCount == 0; }
    private void grow(int min) {
        if (min > elementData.length) {
            Object[] n = new Object[Math.max(min, elementData.length * 2)];
            System.arraycopy(elementData, 0, n, 0, elementCount);
            elementData = n;
        }
    }
    public synchronized void addElement(Object o) { grow(elementCount + 1); elementData[elementCount++] = o; }
    public synchronized boolean add(Object o) { addElement(o); return true; }
    public synchronized Object elementAt(int i) {
        if (i < 0 || i >= elementCount) throw new ArrayIndexOutOfBoundsException(i);
        return elementData[i];
    }
    public Object get(int i) { return elementAt(i); }
    public synchronized void setElementAt(Object o, int i) { elementAt(i); elementData[i] = o; }
    public synchronized void removeElementAt(int i) {
        elementAt(i);
        System.arraycopy(elementData, i + 1, elementData, i, elementCount - i - 1);
        elementData[--elementCount] = null;
    }
    public synchronized void insertElementAt(Object o, int i) {
        if (i < 0 || i > elementCount) throw new ArrayIndexOutOfBoundsException(i);
        grow(elementCount + 1);
        System.arraycopy(elementData, i, elementData, i + 1, elementCount - i);
        elementData[i] = o;
        elementCount++;
    }
    public synchronized int indexOf(Object o) {
        for (int i = 0; i < elementCount; i++) if (o == null ? elementData[i] == null : o.equals(elementData[i])) return i;
        return -1;
    }
    public boolean contains(Object o) { return indexOf(o) >= 0; }
    public synchronized boolean removeElement(Object o) { int i = indexOf(o); if (i < 0) return false; removeElementAt(i); return true; }
    public synchronized void removeAllElements() { for (int i = 0; i < elementCount; i++) elementData[i] = null; elementCount = 0; }
    public synchronized Object firstElement() { if (elementCount == 0) throw new NoSuchElementException(); return elementData[0]; }
    public synchronized Object lastElement() { if (elementCount == 0) throw new NoSuchElementException(); return elementData[elementCount - 1]; }
    public Enumeration elements() {
        return new Enumeration() {
            int i;
            public boolean hasMoreElements() { return i < elementCount; }
            public Object nextElement() { if (i >= elementCount) throw new NoSuchElementException(); return elementData[i++]; }
        };
    }
    public synchronized void copyInto(Object[] a) { System.arraycopy(elementData, 0, a, 0, elementCount); }
}
