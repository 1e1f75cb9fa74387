#include "common/ui/dialog/xr_corvaneldialog.h"

#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/dialog/xr_commondialogs.h"

namespace {

XrString text_of(int id)
{
    XrString text;
    get_translated_text(text, id);
    return text;
}

} // namespace

void XrCorvanelDialog::add_standard_commands()
{
    set_bitmap(DIALOG_BITMAP_ID);
    add_command_group(0, XrString());
    add_command(CMD_EXIT, text_of(R_MENU_MAIN_EXIT), 1, 0);
    add_close_command(CMD_CLOSE, 0);
    if (m_help_page != 0)
        add_command(CMD_HELP, text_of(R_MENU_MAIN_HELP), 3, 0);
    set_default_command(CMD_CLOSE);
}

void XrCorvanelDialog::open(const int& mode, bool modal)
{
    construct(nullptr);
    set_display_mode(mode);
    show(modal);
}

void XrCorvanelDialog::handle_command(int id)
{
    switch (id) {
    case CMD_CLOSE:
        hide();
        return;
    case CMD_EXIT:
        if (ask_exit())
            hide();
        return;
    case CMD_HELP:
        // No help pages on this platform: the request is logged.
        if (m_help_page != 0)
            g_message("help page %d requested", m_help_page);
        return;
    default:
        return;
    }
}

bool XrCorvanelDialog::ask_exit()
{
    if (!XrCommonDialogs::show_query_msg(text_of(R_STR_REALLY_EXIT_TITLE), text_of(R_STR_REALLY_EXIT), nullptr))
        return false;
    if (auto* app = static_cast<XrApplicationProvider*>(XrSingleton::get_instance(XrString(L"XrApplicationProvider")))) {
        app->request_exit();
    }
    return true;
}

void XrCorvanelDataDialog::add_standard_commands()
{
    XrCorvanelDialog::add_standard_commands();
    remove_command(CMD_CLOSE);
    add_close_command(CMD_DATA_CLOSE, 0);
    add_command(CMD_DATA_CANCEL, text_of(R_STR_DLG_FW_CMD_CANCEL), 4, 0);
}

void XrCorvanelDataDialog::handle_command(int id)
{
    if (id == CMD_DATA_CANCEL) {
        hide();
        return;
    }
    XrCorvanelDialog::handle_command(id);
}
