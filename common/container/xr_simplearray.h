// Plain array of value records without virtual operations; doubles when full.
#pragma once

#include "common/container/xr_defs.h"

#include <climits>
#include <new>
#include <utility>

template <class T>
class XrSimpleArray {
public:
    explicit XrSimpleArray(int initial_capacity = 4) : capacity(initial_capacity > 0 ? initial_capacity : 1) {}
    XrSimpleArray(const XrSimpleArray&) = delete;
    XrSimpleArray& operator=(const XrSimpleArray&) = delete;
    // Destroys the items, the last first.
    ~XrSimpleArray() { delete[] items; }

    // Adds at the end; false when growing fails.
    bool append(const T& item)
    {
        T copy(item); // item may live in this array's own storage
        if (count == capacity || items == nullptr) {
            int want = items == nullptr ? capacity : (count > INT_MAX / 2 ? INT_MAX : 2 * count);
            if (want <= count || !move_to(want))
                return false;
        }
        items[count++] = std::move(copy);
        return true;
    }

    // Copies item index into out; false outside 0 .. count - 1.
    bool get_item(int index, T& out) const
    {
        if (index < 0 || index >= count)
            return false;
        out = items[index];
        return true;
    }

    // Pointer to item index; an index outside 0 .. count - 1 is fatal.
    T* get_item_ptr(int index) const
    {
        XR_ASSERT(index >= 0 && index < count);
        return items + index;
    }

    // Removes item index, moving the later items down; index must be below the count.
    void remove_item(int index)
    {
        XR_ASSERT(index >= 0 && index < count);
        for (int i = index + 1; i < count; ++i)
            items[i - 1] = std::move(items[i]);
        items[--count] = T();
    }

    // Empties the array; the storage is kept.
    void remove_all()
    {
        for (int i = 0; i < count; ++i)
            items[i] = T();
        count = 0;
    }

    int get_count() const { return count; }
    T* get_items() { return items; }
    const T* get_items() const { return items; }

private:
    bool move_to(int n)
    {
        T* fresh = new (std::nothrow) T[n];
        if (fresh == nullptr)
            return false;
        for (int i = 0; i < count; ++i)
            fresh[i] = std::move(items[i]);
        delete[] items;
        items = fresh;
        capacity = n;
        return true;
    }

    T* items = nullptr;
    int count = 0;
    int capacity;
};
