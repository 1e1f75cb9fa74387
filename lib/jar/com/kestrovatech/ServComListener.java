package com.kestrovatech;

public interface ServComListener {
    void communicationComplete(int request, int status, String error, ServComMessage message);
}
