// An array of pointers that owns the objects: they go in as std::unique_ptr
// and are deleted by delete_all and by the destructor.
#pragma once

#include <memory>

#include "common/container/xr_ptrarray.h"

template <class T>
class XrOwnedPtrArray : public XrPtrArray<T*> {
public:
    using XrPtrArray<T*>::XrPtrArray;
    XrOwnedPtrArray(const XrOwnedPtrArray&) = delete;
    XrOwnedPtrArray& operator=(const XrOwnedPtrArray&) = delete;
    ~XrOwnedPtrArray() override { delete_all(); }

    // Takes the object; false (and the object deleted) when it cannot be
    // added.
    bool append(std::unique_ptr<T> object)
    {
        if (!XrPtrArray<T*>::append(object.get()))
            return false;
        object.release();
        return true;
    }

    // Deletes every object and empties the array.
    void delete_all()
    {
        for (int i = 0; i < this->get_num_items(); ++i)
            delete this->get_item(i);
        this->remove_all();
    }

private:
    // Raw pointers go in only through append(std::unique_ptr).
    using XrPtrArray<T*>::append;
    using XrPtrArray<T*>::insert;
};
