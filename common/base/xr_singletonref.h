// A registry entry as a caller keeps it: looked up again only after the
// registry has changed, so that a hot path pays one comparison per use.
// For the main loop's thread.
#pragma once

#include "common/base/xr_singleton.h"

// Changes with every registration and removal in XrSingleton (never 0).
unsigned xr_singleton_generation();

template <class T>
class XrSingletonRef {
public:
    explicit XrSingletonRef(const TCHAR* name) : name(name) {}

    T* get()
    {
        const unsigned now = xr_singleton_generation();
        if (now != generation) {
            instance = static_cast<T*>(XrSingleton::get_instance(XrString(name)));
            generation = now;
        }
        return instance;
    }

private:
    const TCHAR* name;
    T* instance = nullptr;
    unsigned generation = 0;
};
