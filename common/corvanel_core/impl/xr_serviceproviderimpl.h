// The service provider and the global busy dialog.
#pragma once

#include <memory>

#include "common/container/xr_array.h"
#include "common/corvanel_core/interfaces/xr_globalbusydialog.h"
#include "common/corvanel_core/interfaces/xr_serviceprovider.h"

class XrServiceProviderImpl : public XrServiceProvider {
public:
    // The aggregate is not owned.
    explicit XrServiceProviderImpl(XrServiceAggregate* aggregate) : aggregate(aggregate) {}
    XrServiceAggregate* get_service_aggregate() override { return aggregate; }

private:
    XrServiceAggregate* aggregate;
};

class XrGlobalBusyDialogImpl : public XrGlobalBusyDialog, public XrBusyDlgObserver {
public:
    XrGlobalBusyDialogImpl() = default;
    ~XrGlobalBusyDialogImpl() override = default;

    void begin(const XrString& title, const XrString& text, XrBusyDlgObserver* observer) override;
    bool is_active() override { return active; }
    using XrGlobalBusyDialog::show;
    void show() override;
    void end() override;
    void push_text(const XrString& text) override;
    // Pops the top text whether or not a dialog is shown, so that pushes and
    // pops stay balanced.
    void pop_text() override;
    // The user cancelled the dialog: it is gone.
    void cancelled() override;

    const XrString& get_title() const { return title; }
    int get_text_count() const { return texts.get_num_items(); }
    bool is_shown() const { return dialog != nullptr; }

private:
    XrString title;
    XrArray<XrString> texts{8, 0};
    bool active = false;
    std::unique_ptr<XrBusyDlg> dialog;
    XrBusyDlgObserver* observer = nullptr;
};
