// Items and a count with guarded item access: the base of the array templates.
// The base owns nothing; the derived arrays own and grow the storage.
#pragma once

#include "common/container/xr_defs.h"

template <class T>
class XrStaticArray {
public:
    XrStaticArray() = default;
    XrStaticArray(T* items_, int num_items_) : items(items_), num_items(num_items_) {}

    // Pointer to item index; an index outside 0 .. num_items - 1 is fatal.
    T* get_item_ptr(int index) const
    {
        XR_ASSERT(index < num_items);
        XR_ASSERT(index >= 0);
        return items + index;
    }

    // Copies item index into out; false when index is not below num_items.
    // A negative index is fatal.
    bool get_item(int index, T& out) const
    {
        if (index >= num_items)
            return false;
        out = *get_item_ptr(index);
        return true;
    }

    int get_num_items() const { return num_items; }
    T* get_items() { return items; }
    const T* get_items() const { return items; }

protected:
    T* items = nullptr;
    int num_items = 0;
};
