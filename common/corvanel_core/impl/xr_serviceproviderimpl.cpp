#include "common/corvanel_core/impl/xr_serviceproviderimpl.h"

namespace {

XrBusyDlg::Factory g_factory = nullptr;

} // namespace

XrBusyDlg* XrBusyDlg::create(const XrString& title, const XrString& text, XrBusyDlgObserver* observer)
{
    return g_factory != nullptr ? g_factory(title, text, observer) : nullptr;
}

void XrBusyDlg::set_factory(Factory factory)
{
    g_factory = factory;
}

void XrGlobalBusyDialogImpl::begin(const XrString& t, const XrString& text, XrBusyDlgObserver* o)
{
    if (active)
        return;
    active = true;
    title = t;
    observer = o;
    texts.append(text);
}

void XrGlobalBusyDialogImpl::show()
{
    if (!active || dialog)
        return;
    const int n = texts.get_num_items();
    dialog.reset(XrBusyDlg::create(title, n > 0 ? *texts.get_item_ptr(n - 1) : XrString(), this));
}

void XrGlobalBusyDialogImpl::end()
{
    dialog.reset();
    active = false;
    texts.remove_all();
    observer = nullptr;
}

void XrGlobalBusyDialogImpl::push_text(const XrString& text)
{
    if (!active)
        return;
    texts.append(text);
    if (dialog)
        dialog->set_text(text);
}

void XrGlobalBusyDialogImpl::pop_text()
{
    if (!active || texts.get_num_items() == 0)
        return;
    texts.remove_item(texts.get_num_items() - 1);
    const int n = texts.get_num_items();
    if (dialog && n > 0)
        dialog->set_text(*texts.get_item_ptr(n - 1));
}

void XrGlobalBusyDialogImpl::cancelled()
{
    // The platform dialog is answered: deleting it (in end) closes only its
    // own window, so it is not leaked.
    XrBusyDlgObserver* told = observer;
    if (told != nullptr)
        told->cancelled();
    end();
}
