// Array of pointers: never owns the pointed-to objects.
#pragma once

#include "common/container/xr_array.h"

#include <type_traits>

// P is the pointer type itself: XrPtrArray<XrService*>.
template <class P>
class XrPtrArray : public XrArray<void*> {
    static_assert(std::is_pointer_v<P>, "XrPtrArray holds pointers");

public:
    explicit XrPtrArray(int initial_capacity = 8, int grow_step = 0) : XrArray<void*>(initial_capacity, grow_step) {}

    // The pointer at index, or null when index is not below the count.
    P get_item(int index) const
    {
        if (index < 0 || index >= num_items)
            return nullptr;
        return static_cast<P>(items[index]);
    }

    // Appends; a null pointer is not added (false).
    bool append(P p)
    {
        if (p == nullptr)
            return false;
        return XrArray<void*>::append(to_void(p));
    }

    // Inserts at index; -1 appends.
    bool insert(P p, int index)
    {
        if (index == -1)
            index = num_items;
        return insert_item(to_void(p), index);
    }

    // Removes the first entry equal to p; true when one was removed.
    bool remove(P p)
    {
        for (int i = 0; i < num_items; ++i) {
            if (items[i] == to_void(p))
                return remove_item(i);
        }
        return false;
    }

private:
    static void* to_void(P p) { return const_cast<void*>(static_cast<const void*>(p)); }
};
