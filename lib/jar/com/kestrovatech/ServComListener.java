package com.kestrovatech;

// Hears the reply of a service-channel request: the channel's status and
// second value, the reply's text and the reply itself.
public interface ServComListener {
    void communicationComplete(int status, int value, String text, ServComMessage message);
}
