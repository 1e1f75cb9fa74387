package java.lang;

public class StackOverflowError extends VirtualMachineError implements java.io.Serializable {
    public StackOverflowError() { super(); }
    public StackOverflowError(String message) { super(message); }
}
