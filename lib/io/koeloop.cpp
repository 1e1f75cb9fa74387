#include "lib/io/koeloop.h"

#include "lib/rt/kolib.h"

#include <sys/select.h>

namespace {
KoEloop* g_default;
KoEloop* pick(KoEloop* loop) { return loop ? loop : g_default; }

// Calls (or re-registers) the callback of one direction of a handle that
// left the loop; returns true when it was called.
bool serve(KoEloop* loop, KoHandle* h, int dir, bool ready_known, bool ready)
{
    KoHandleCallback& slot = dir ? h->write_cb : h->read_cb;
    void*& data = dir ? h->write_data : h->read_data;
    if (!slot)
        return false;
    KoHandleCallback cb = slot;
    void* d = data;
    slot = nullptr;
    data = nullptr;
    if (!ready_known)
        ready = !(h->ops->ready && !h->ops->ready(h->user, dir, h->ops));
    if (!ready && ko_eloop_wait_handle(loop, h, dir, cb, d))
        return false;
    cb(h, d);
    return true;
}
}

KoEloop* ko_eloop_new() { return static_cast<KoEloop*>(ko_calloc(1, sizeof(KoEloop))); }
void ko_eloop_free(KoEloop* loop) { ko_free(loop); }
bool ko_eloop_init()
{
    if (!g_default)
        g_default = ko_eloop_new();
    return g_default != nullptr;
}
void ko_eloop_done()
{
    ko_eloop_free(g_default);
    g_default = nullptr;
}

bool ko_eloop_wait_handle(KoEloop* loop, KoHandle* h, int direction, KoHandleCallback cb, void* data)
{
    loop = pick(loop);
    KoHandleCallback& slot = direction ? h->write_cb : h->read_cb;
    if (slot)
        return false;
    slot = cb;
    (direction ? h->write_data : h->read_data) = data;
    if (!(h->flags & KO_HANDLE_F_LINKED)) {
        h->next = loop->waiting;
        loop->waiting = h;
        h->flags |= KO_HANDLE_F_LINKED;
    }
    return true;
}

void ko_eloop_abort_wait_handle(KoEloop*, KoHandle*, int)
{
    ko_fatal("Function %s:%d:%s not implemented yet!!!", "lib/io/koeloop", 142, "ko_eloop_abort_wait_handle");
}

void ko_eloop_run(KoEloop* loop, bool once, bool block)
{
    loop = pick(loop);
    if (!loop)
        return;
    if (!loop->waiting) {
        loop->running = 0;
        return;
    }
    loop->running = 1;
    do {
        KoHandle* selected = nullptr;
        bool called;
        do {
            called = false;
            KoHandle* list = loop->waiting;
            loop->waiting = nullptr;
            while (list) {
                KoHandle* h = list;
                list = h->next;
                h->next = nullptr;
                if (ko_handle_descriptor(h) == -1) {
                    h->flags &= ~KO_HANDLE_F_LINKED;
                    called |= serve(loop, h, 0, false, false);
                    called |= serve(loop, h, 1, false, false);
                } else {
                    h->next = selected;
                    selected = h;
                }
            }
        } while (called && loop->waiting);
        if (selected) {
            fd_set rd, wr, ex;
            FD_ZERO(&rd);
            FD_ZERO(&wr);
            FD_ZERO(&ex);
            int high = -1;
            for (KoHandle* h = selected; h; h = h->next) {
                int fd = ko_handle_descriptor(h);
                if (fd < 0 || fd >= FD_SETSIZE)
                    continue;
                if (h->read_cb)
                    FD_SET(fd, &rd);
                if (h->write_cb)
                    FD_SET(fd, &wr);
                FD_SET(fd, &ex);
                if (fd > high)
                    high = fd;
            }
            struct timeval zero = {0, 0};
            ::select(high + 1, &rd, &wr, &ex, block ? nullptr : &zero);
            while (selected) {
                KoHandle* h = selected;
                selected = h->next;
                h->next = nullptr;
                h->flags &= ~KO_HANDLE_F_LINKED;
                int fd = ko_handle_descriptor(h);
                bool bad = fd < 0 || fd >= FD_SETSIZE;
                bool e = !bad && FD_ISSET(fd, &ex);
                serve(loop, h, 0, true, e || (!bad && FD_ISSET(fd, &rd)));
                serve(loop, h, 1, true, e || (!bad && FD_ISSET(fd, &wr)));
            }
        }
    } while (!once && loop->waiting);
    loop->running = 0;
}
