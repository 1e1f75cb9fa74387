// The one event loop of the process on the GLib (GTK) main loop: one-shot
// GLib timeouts, read watches on pipes and devices cut into text lines, a
// GLib source per data socket, child reaping and window messages.
#pragma once

#include "common/os/xr_eventloopcommon.h"

#include <cstddef>

#include <glib.h>

struct XrDataSocketSource;

class XrEventLoop : public XrEventloopCommon {
public:
    // Becomes the global loop; a second one is fatal. size is not used.
    explicit XrEventLoop(size_t size = 0);
    // Removes the sockets' sources (deleting the owned sockets), cancels the
    // pending timeouts, uninstalls the child reaper.
    ~XrEventLoop() override;

    // Installs the SIGCHLD reaper; true.
    bool init() override;

    bool add_fd_watch(XrLineWatch* watch) override;
    bool remove_fd_watch(XrLineWatch* watch) override;

    XrAddSocketResult add_data_socket(XrDataSocket* socket, bool owned) override;
    void remove_data_socket(XrDataSocket* socket) override;
    // Takes a socket that is being destroyed out of the loop, without
    // telling or deleting it.
    void forget_data_socket(XrDataSocket* socket);

    bool add_timeout(int seconds, int milliseconds, XrEventHandler* handler, void* data) override;
    void remove_timeout(XrEventHandler* handler, void* data) override;

    static void ref_data_source(XrDataSocketSource* source);
    static void unref_data_source(XrDataSocketSource* source);

private:
    static gboolean timeout_handler(gpointer record);
    static gboolean line_splitter(GIOChannel* channel, GIOCondition condition, gpointer watch);
    static gboolean sigchld_ready(GIOChannel* channel, GIOCondition condition, gpointer loop);
    int find_timeout(const void* record) const;
    void drop_data_source(XrDataSocket* socket);
    void uninstall_reaper();

    guint m_sigchld_watch = 0;
    int m_sigchld_pipe[2] = {-1, -1};
};

extern XrEventLoop* xr_global_event_loop;
