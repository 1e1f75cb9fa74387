// A fixed array of value records with a count: allocated once, never grows.
#pragma once

#include "common/container/xr_defs.h"

#include <memory>
#include <new>

template <class T>
class XrSimplestArray {
public:
    XrSimplestArray() = default;
    // count value-initialised records; an allocation failure leaves it empty.
    explicit XrSimplestArray(int count) { resize(count); }
    // Copies count records from data.
    XrSimplestArray(const T* data, int count)
    {
        if (resize(count))
            for (int i = 0; i < count; ++i)
                items_[i] = data[i];
    }
    XrSimplestArray(const XrSimplestArray& other) : XrSimplestArray(other.items_.get(), other.count_) {}
    XrSimplestArray& operator=(const XrSimplestArray& other)
    {
        if (this != &other) {
            XrSimplestArray copy(other);
            items_.swap(copy.items_);
            std::swap(count_, copy.count_);
        }
        return *this;
    }

    // Replaces the contents by count value-initialised records; false (and
    // empty) when they cannot be allocated.
    bool resize(int count)
    {
        items_.reset();
        count_ = 0;
        if (count <= 0)
            return count == 0;
        items_.reset(new (std::nothrow) T[count]());
        if (!items_)
            return false;
        count_ = count;
        return true;
    }

    int get_count() const { return count_; }
    T* get_data() { return items_.get(); }
    const T* get_data() const { return items_.get(); }
    // Record index; an index outside 0 .. count - 1 is fatal.
    T& operator[](int index)
    {
        XR_ASSERT(index >= 0 && index < count_);
        return items_[index];
    }
    const T& operator[](int index) const
    {
        XR_ASSERT(index >= 0 && index < count_);
        return items_[index];
    }

private:
    std::unique_ptr<T[]> items_;
    int count_ = 0;
};
