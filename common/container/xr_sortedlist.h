// Bounded list kept in the order of a comparison function: the best results
// of a search.
#pragma once

#include "common/container/xr_defs.h"

template <class T>
class XrSortedList {
public:
    // compare(a, b) < 0 puts a before b.
    XrSortedList(int size, int (*cmp)(const T&, const T&)) : size(size), compare(cmp)
    {
        XR_ASSERT(size > 0);
        XR_ASSERT(cmp != 0);
        pool = new XrNode[size];
    }
    XrSortedList(const XrSortedList&) = delete;
    XrSortedList& operator=(const XrSortedList&) = delete;
    ~XrSortedList() { delete[] pool; }

    // Inserts before the first item that compares above the new one, so equal
    // items keep their order of arrival. A full list drops its last item, or
    // refuses (false) an item that does not compare below the last.
    bool add_item(const T& item)
    {
        bool full = count == size;
        if (full && compare(item, tail->item) >= 0)
            return false;
        XrNode* before = head;
        for (int i = 0; i < count && compare(item, before->item) >= 0; ++i)
            before = before->next;
        XrNode* node;
        if (full) {
            node = tail;
            if (before == tail)
                before = nullptr; // the item takes the last place itself
            unlink(node);
            --count;
        } else {
            XR_ASSERT(count < size);
            node = pool + count;
        }
        node->item = item;
        link_before(node, before);
        ++count;
        return true;
    }

    // The item at a position of the order.
    T* get_item_ptr(int index) const
    {
        XR_ASSERT(index >= 0 && index < count);
        XrNode* ptr = head;
        for (int i = 0; i < index && ptr != nullptr; ++i)
            ptr = ptr->next;
        XR_ASSERT(ptr);
        return &ptr->item;
    }

    int get_count() const { return count; }
    int get_size() const { return size; }

private:
    struct XrNode {
        T item{};
        XrNode* next = nullptr;
        XrNode* prev = nullptr;
    };

    void unlink(XrNode* node)
    {
        (node->prev ? node->prev->next : head) = node->next;
        (node->next ? node->next->prev : tail) = node->prev;
        node->next = node->prev = nullptr;
    }

    // Links node before `before`, or at the end when before is null.
    void link_before(XrNode* node, XrNode* before)
    {
        node->next = before;
        node->prev = before ? before->prev : tail;
        (node->prev ? node->prev->next : head) = node;
        (before ? before->prev : tail) = node;
    }

    int size;
    int (*compare)(const T&, const T&);
    XrNode* pool = nullptr;
    XrNode* head = nullptr;
    XrNode* tail = nullptr;
    int count = 0;
};
