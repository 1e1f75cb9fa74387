// Growable array of values with a capacity and a grow step.
#pragma once

#include "common/container/xr_staticarray.h"

#include <climits>
#include <new>
#include <utility>

template <class T>
class XrArray : public XrStaticArray<T> {
public:
    // Allocates nothing: storage of initial_capacity items comes with the
    // first append or insert. A grow step of 0 doubles the capacity.
    explicit XrArray(int initial_capacity = 8, int grow_step = 0)
        : capacity(initial_capacity > 0 ? initial_capacity : 0), grow_step(grow_step > 0 ? grow_step : 0)
    {
    }
    XrArray(const XrArray&) = delete;
    XrArray& operator=(const XrArray&) = delete;
    virtual ~XrArray() { delete[] this->items; }

    // Adds at the end; false when growing fails.
    bool append(const T& item)
    {
        T copy(item); // item may live in this array's own storage
        if (!make_room())
            return false;
        this->items[this->num_items++] = std::move(copy);
        return true;
    }

    // Adds one default-constructed item and returns it; null when growing fails.
    T* append_new()
    {
        if (!make_room())
            return nullptr;
        T* p = this->items + this->num_items++;
        *p = T();
        return p;
    }

    // Inserts at index (0 .. num_items); the later items move up one place.
    bool insert_item(const T& item, int index)
    {
        if (index < 0 || index > this->num_items)
            return false;
        T copy(item);
        if (!make_room())
            return false;
        for (int i = this->num_items; i > index; --i)
            this->items[i] = std::move(this->items[i - 1]);
        this->items[index] = std::move(copy);
        ++this->num_items;
        return true;
    }

    // Removes item index; the later items move down one place. False when
    // index is not below num_items; a negative index is fatal.
    bool remove_item(int index)
    {
        XR_ASSERT(index >= 0);
        if (index >= this->num_items)
            return false;
        for (int i = index + 1; i < this->num_items; ++i)
            this->items[i - 1] = std::move(this->items[i]);
        // The vacated slot lets go of what it held (shared strings and the like).
        this->items[--this->num_items] = T();
        return true;
    }

    // Empties the array; the storage is kept.
    void remove_all()
    {
        for (int i = 0; i < this->num_items; ++i)
            this->items[i] = T();
        this->num_items = 0;
    }

    // Moves the items into new storage of n items; false when the allocation
    // fails or n cannot hold the present items (the array is then unchanged).
    bool set_capacity(int n)
    {
        if (n < this->num_items || n <= 0)
            return false;
        T* fresh = new (std::nothrow) T[n];
        if (fresh == nullptr)
            return false;
        for (int i = 0; i < this->num_items; ++i)
            fresh[i] = std::move(this->items[i]);
        delete[] this->items;
        this->items = fresh;
        capacity = n;
        return true;
    }

    int get_capacity() const { return capacity; }

protected:
    // Makes room for one more item (see append).
    bool make_room()
    {
        if (this->items == nullptr && capacity > 0 && !set_capacity(capacity))
            return false;
        if (this->items != nullptr && this->num_items < capacity)
            return true;
        if (this->num_items == INT_MAX)
            return false;
        long long want = grow_step != 0 ? (long long)this->num_items + grow_step : 2LL * this->num_items;
        if (want > INT_MAX)
            want = INT_MAX;
        if (want <= this->num_items)
            want = this->num_items + 1;
        return set_capacity(static_cast<int>(want));
    }

    int capacity;
    int grow_step;
};
