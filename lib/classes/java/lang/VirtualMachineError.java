package java.lang;

public class VirtualMachineError extends Error implements java.io.Serializable {
    public VirtualMachineError() { super(); }
    public VirtualMachineError(String message) { super(message); }
}
