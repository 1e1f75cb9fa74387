// The receiver of timeouts and window messages of the event loop.
#pragma once

class XrEventloopBase;

class XrEventHandler {
public:
    virtual ~XrEventHandler() = default;

    // A pending timeout or window-message registration of this handler was
    // removed without firing.
    virtual void cancelled(XrEventloopBase* /*loop*/, void* /*data*/) {}
    // The timeout fired, or a window message arrived.
    virtual void execute(XrEventloopBase* /*loop*/, void* /*data*/) {}
};
