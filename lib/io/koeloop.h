// One-shot select() wait loop over I/O handles.
#pragma once

#include "lib/io/kohandle.h"

struct KoEloop {
    std::uint8_t running;
    KoHandle* waiting;
};

KoEloop* ko_eloop_new();
void ko_eloop_free(KoEloop* loop);
bool ko_eloop_init();
void ko_eloop_done();
// direction 0: read, 1: write. False when that direction already has a callback.
bool ko_eloop_wait_handle(KoEloop* loop, KoHandle* h, int direction, KoHandleCallback cb, void* data);
[[noreturn]] void ko_eloop_abort_wait_handle(KoEloop* loop, KoHandle* h, int direction);
void ko_eloop_run(KoEloop* loop, bool once, bool block);
