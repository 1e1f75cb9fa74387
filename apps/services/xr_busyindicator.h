// The process-wide busy indicator as the service channel sees it: the
// object registered as "XrGlobalBusyDialog", and the observer told when the
// user cancels the indicator.
#pragma once

class XrString;

class XrBusyDlgObserver {
public:
    virtual ~XrBusyDlgObserver() = default;
    // The user cancelled the busy indication.
    virtual void cancelled() = 0;
};

class XrGlobalBusyDialog {
public:
    virtual ~XrGlobalBusyDialog() = default;
    // Shows the indicator (ignored while it is shown); the observer's
    // cancelled() runs when the user cancels it.
    virtual void show(const XrString& text, const XrString& text2, XrBusyDlgObserver* observer) = 0;
    // Takes the indicator down.
    virtual void hide() = 0;
};
