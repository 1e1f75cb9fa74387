// The maps and voices window: the maps (or voice sets) installed on the
// card, removal, the list of what the update server offers, its download
// and installation through the update manager with a progress window, and
// (maps) the choice of the map opened when the window closes.
#pragma once

#include "apps/maemo_map/xr_maemoupdatedlg.h"
#include "apps/maemo_map/xr_updateprogress.h"
#include "common/update/xr_updatemanagerlistener.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class XrNaviApp;
class XrBusyDlgMaemo;
class XrUpdateManager;

// One record of a list file ("map.lst", "speaker.lst").
struct XrContentRecord {
    XrString name; // decoded from Latin-1
    XrString guid;
    XrString version; // maps only; may be empty
    std::int64_t size = 0;
    std::int64_t need = 0; // bytes needed on the card
};

// The records of a list file: lines of fields separated by ';', ended by a
// line feed; a record of fewer than three fields ends the list, bytes after
// the last line feed are ignored. A record whose size or need is no
// non-negative number is skipped. Without a need it is the size times 1.3.
std::vector<XrContentRecord> xr_parse_content_list(const std::string& bytes, bool maps);
// "N kB" up to 1048576 bytes, "N MB" above.
XrString xr_format_content_size(std::uint64_t bytes);
// The sizes of the files directly in the folder; 0 when it cannot be listed.
std::uint64_t xr_content_folder_size(const XrString& folder);

class XrMaemoMapsDlg : public XrMaemoUpdateDlg, public XrUpdateManagerListener, public XrUpdateProgressOwner {
public:
    enum Mode { MAPS = 0, VOICES = 1 };

    XrMaemoMapsDlg(XrNaviApp* app, bool voices);
    ~XrMaemoMapsDlg() override;

    // XrUpdateManagerListener
    void on_message(const XrString&) override {}
    void on_status(const XrString&) override {}
    void on_progress(const XrString& stage, unsigned done, unsigned total) override;
    void on_error(const XrString& text) override;
    void on_finished() override;
    void on_download_result(bool ok) override;

    // XrUpdateProgressOwner
    void cancel_operation() override;
    GtkWidget* get_window() const override { return dialog; }

protected:
    void init_pages() override;
    void remove_selected() override;
    void download_selected() override;
    void refresh_list() override;
    void close() override;
    void update_buttons() override;
    void run_ended() override;

private:
    enum State { IDLE = 0, LIST = 1, COMPONENT = 2 };
    enum Kind { SUCCESS = 0, FAILURE = 1, NO_SPACE = 2 };

    bool ensure_update_manager();
    void operation_done(int kind, std::uint64_t missing);
    void show_error(int kind, std::uint64_t missing);
    void finish_update();
    void new_progress(int title_text_id);
    void show_busy(int text_id);
    void drop_busy();
    void fill_installed();
    void fill_available();
    void update_download_button();
    int installed_map_count() const;
    XrString list_file_name() const;
    static void on_cursor_changed(GtkTreeView*, gpointer self);
    static gboolean on_finish_later(gpointer self);

    XrNaviApp* app;
    int mode;
    std::unique_ptr<XrUpdateProgress> progress;
    // Closed windows whose modal run may still be on the stack.
    std::vector<std::unique_ptr<XrUpdateProgress>> closed_progress;
    std::unique_ptr<XrBusyDlgMaemo> busy_note;
    int state = IDLE;
    int errors = 0;
    guint finish_source = 0;
    GtkListStore* installed_store = nullptr;
    GtkListStore* available_store = nullptr;
};

// The one update manager of the maps window (null when none exists); for
// tests.
XrUpdateManager* xr_maps_update_manager();
