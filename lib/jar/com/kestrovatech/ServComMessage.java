package com.kestrovatech;

// A request or reply of the service channel.
public class ServComMessage {
    public String url;
    public int serviceId;
    public int commandId;
    public int commandVersion;
    public PropertyBag bag;
}
