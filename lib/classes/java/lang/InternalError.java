package java.lang;

public class InternalError extends VirtualMachineError implements java.io.Serializable {
    public InternalError() { super(); }
    public InternalError(String message) { super(message); }
}
