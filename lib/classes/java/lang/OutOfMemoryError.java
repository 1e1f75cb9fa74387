package java.lang;

public class OutOfMemoryError extends VirtualMachineError implements java.io.Serializable {
    public OutOfMemoryError() { super(); }
    public OutOfMemoryError(String message) { super(message); }
}
