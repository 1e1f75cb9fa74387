// The bases of the application's own dialogs: the standard commands (close,
// exit the application, help) and the start sequence, and the variant for
// dialogs that edit stored data (close and cancel).
#pragma once

#include "common/ui/dialog/xr_dialogbase.h"

class XrCorvanelDialog : public XrDialogBase {
public:
    enum CommandId {
        CMD_CLOSE = 0x1CEBABE,
        CMD_EXIT = 0x1CEBABF,
        CMD_HELP = 0x1CEBAC0,
        CMD_DATA_CLOSE = 0x1CEBAC1,
        CMD_DATA_CANCEL = 0x1CEBAC2,
    };
    // The standard dialog bitmap and its companion for the list control.
    static constexpr int DIALOG_BITMAP_ID = 0x49A7002C;
    static constexpr int DIALOG_BITMAP_ALPHA_ID = 0x49A7002D;

    XrCorvanelDialog() = default;

    virtual void add_standard_commands();
    // construct (a window of its own), display mode, show.
    virtual void open(const int& mode, bool modal);
    void handle_command(int id) override;

    void set_help_page(int page) { m_help_page = page; }
    int get_help_page() const { return m_help_page; }

    // Asks whether to end the program; on Yes the application provider
    // exits. True when confirmed.
    static bool ask_exit();

private:
    int m_help_page = 0;
};

class XrCorvanelDataDialog : public XrCorvanelDialog {
public:
    void add_standard_commands() override;
    void handle_command(int id) override;
};
