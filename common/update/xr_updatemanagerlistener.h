// What the update manager reports to the maps and update dialogs.
#pragma once

#include "common/container/xr_string.h"

class XrUpdateManagerListener {
public:
    virtual ~XrUpdateManagerListener() = default;
    virtual void on_message(const XrString& text) = 0;
    virtual void on_status(const XrString& text) = 0;
    virtual void on_progress(const XrString& stage, unsigned done, unsigned total) = 0;
    virtual void on_error(const XrString& text) = 0;
    virtual void on_finished() = 0;
    // The end of a list download (XrListDownloads).
    virtual void on_download_result(bool) {}
};
