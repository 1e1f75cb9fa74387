// The map window's key handler of the add-ons, and the Java text numbers.
#pragma once

#include <vector>

#include "common/java/xr_java.h"
#include "common/os/xr_windoweventhandler.h"

// Offers each map-window key to Navigator.handleWindowKeyEvent on a VM
// thread of its own and reports it not handled at once; a key that Java
// does not take (false, or an exception) goes on to the handlers below
// once Java has answered.
class XrJavaWindowEventHandler : public XrWindowEventHandler {
public:
    explicit XrJavaWindowEventHandler(KoJvmRec* vm) : vm(vm) {}
    ~XrJavaWindowEventHandler() override;
    int handle_key(int key, XrMapWindow* window) override;

private:
    static void answered(KoJvmCat1ValueUnion* result, KoJvmObjectRec* exception, void* data);
    struct Call;
    KoJvmRec* vm;
    Call* calls = nullptr; // keys waiting for Java's answer
    std::vector<KoJvmThread*> idle_threads;
    bool forwarding = false;
};

// The message identifier of a Java text number (0 to 735), -1 outside.
int xr_java_locale_message_id(int number);
