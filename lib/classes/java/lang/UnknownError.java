package java.lang;

public class UnknownError extends VirtualMachineError implements java.io.Serializable {
    public UnknownError() { super(); }
    public UnknownError(String message) { super(message); }
}
