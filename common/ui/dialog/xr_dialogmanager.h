// The registered service ("XrDialogManager") that dialogs tell when they are
// shown and when they go away, and that the shell asks whether a dialog is
// open. It keeps no dialogs: the reports are accepted and dropped, and no
// dialog ever counts as open, so the shell may always exit or open
// something over the map.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_ptrarray.h"

class XrDialogBase;

// Implemented by the application object; the manager never calls it.
class XrDialogManagerListener {
public:
    virtual ~XrDialogManagerListener() = default;
    virtual void dialog_shown(XrDialogBase* dialog) = 0;
    virtual void dialog_closed() = 0;
};

class XrDialogManager : public XrSingleton, public XrObservable<XrDialogManagerListener> {
public:
    XrDialogManager() : XrObservable<XrDialogManagerListener>(8), m_stack(8) {}
    // The dialogs are not touched.
    ~XrDialogManager() override = default;

    bool is_dialog_open() const { return false; }
    // Called by a dialog before it is shown.
    void register_dialog(XrDialogBase*) {}
    void notify_dialog_shown(XrDialogBase*) {}
    // Called by a dialog before it is deleted.
    void unregister_dialog(XrDialogBase*) {}
    void notify_dialog_closed() {}

    int get_stack_depth() const { return m_stack.get_num_items(); }

    // The registered manager, or null.
    static XrDialogManager* get_instance()
    {
        return static_cast<XrDialogManager*>(XrSingleton::get_instance(XrString(L"XrDialogManager")));
    }

private:
    XrPtrArray<XrDialogBase*> m_stack;
};
