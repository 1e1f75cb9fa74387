// The application side of the Internet-access object: may choose the access
// point to use and is told of every access-point event.
#pragma once

class XrString;
class XrIap;

class XrInetConfigListener {
public:
    virtual ~XrInetConfigListener() = default;
    // May fill the name and id of the access point to use; 1 when it did,
    // anything else lets the default choice stand.
    virtual int choose_iap(XrString& name, XrString& id) = 0;
    // event: 0 created, 1 connected, 2 disconnected, 3 connection failed,
    // 4 no access point could be named.
    virtual void iap_state_changed(int event, XrIap* iap) = 0;
};
