// One process-wide busy indication that long operations open with a title
// and a text, change by pushing and popping texts, and close. Registered as
// "XrGlobalBusyDialog".
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"

// Told when the user cancels a busy dialog.
class XrBusyDlgObserver {
public:
    virtual ~XrBusyDlgObserver() = default;
    virtual void cancelled() = 0;
};

// The platform's busy dialog: shown while it exists.
class XrBusyDlg {
public:
    virtual ~XrBusyDlg() = default;
    virtual void set_text(const XrString& text) = 0;

    // Makes and shows one; the dialogs install the maker (none: nothing is
    // shown and null returned).
    typedef XrBusyDlg* (*Factory)(const XrString& title, const XrString& text, XrBusyDlgObserver* observer);
    static XrBusyDlg* create(const XrString& title, const XrString& text, XrBusyDlgObserver* observer);
    static void set_factory(Factory factory);
};

class XrGlobalBusyDialog : public XrSingleton {
public:
    ~XrGlobalBusyDialog() override = default;

    // Ignored while active: nested operations share the first one's title
    // and observer.
    virtual void begin(const XrString& title, const XrString& text, XrBusyDlgObserver* observer) = 0;
    virtual bool is_active() = 0;
    virtual void show() = 0;
    virtual void end() = 0;
    virtual void push_text(const XrString& text) = 0;
    virtual void pop_text() = 0;

    // One step each, for callers that show the indication at once (the
    // service channel): begin and show; a running indication keeps its
    // title, texts and observer. hide() ends it.
    void show(const XrString& title, const XrString& text, XrBusyDlgObserver* observer)
    {
        begin(title, text, observer);
        show();
    }
    void hide() { end(); }

    // The registered dialog, or null.
    static XrGlobalBusyDialog* get_instance()
    {
        return static_cast<XrGlobalBusyDialog*>(XrSingleton::get_instance(XrString(L"XrGlobalBusyDialog")));
    }
};
