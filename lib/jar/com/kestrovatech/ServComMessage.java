package com.kestrovatech;

// A reply of the service channel.
public class ServComMessage {
    public PropertyBag body;
}
