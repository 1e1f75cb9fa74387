// Open-addressing hash table with prime sizes, a fill limit in percent and
// optional multiple entries per key.
#pragma once

#include "common/container/xr_defs.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

class XrString;

// Hash of an integer key, taken as an unsigned 32-bit value.
template <class I>
    requires std::integral<I> || std::is_enum_v<I>
inline unsigned int xr_hash_key(I key)
{
    return static_cast<std::uint32_t>(key) * 712728982u + 14124234u;
}

// Hash of a string key; a null string hashes as the empty text, to 0.
unsigned int xr_hash_key(const XrString& key);

// Other key types provide an xr_hash_key overload beside their class.
template <class K, class T>
class XrHash {
public:
    enum { SLOT_EMPTY = 0, SLOT_USED = 1, SLOT_DELETED = 2 };

    struct XrHashSlot {
        K key{};
        T value{};
        int state = SLOT_EMPTY;
    };

    // Walks the used slots in slot order.
    class XrHashIterator {
    public:
        explicit XrHashIterator(XrHash& hash) : hash(hash) {}
        // The next used slot (key and value), or null at the end.
        XrHashSlot* get_next()
        {
            while (pos < hash.size) {
                XrHashSlot* s = hash.slots + pos++;
                if (s->state == SLOT_USED)
                    return s;
            }
            return nullptr;
        }

    private:
        XrHash& hash;
        unsigned int pos = 0;
    };

    XrHash(std::size_t requested_size, bool multiple, unsigned int grow_percent)
        : size(static_cast<unsigned int>(find_prime_size(requested_size))), grow_limit(grow_percent),
          multiple(multiple)
    {
        slots = new XrHashSlot[size];
    }
    XrHash(const XrHash&) = delete;
    XrHash& operator=(const XrHash&) = delete;

    virtual ~XrHash()
    {
        if (keep_table != 0)
            return;
        clear();
        delete[] slots;
    }

    // True when stored; false when the table could not grow or, without
    // multiple entries, when the key is present.
    bool insert(const K& key, const T& value)
    {
        if (percent(count) > grow_limit || count >= size) {
            if (!allocate(size, find_prime_size(size + 1)))
                return false;
        } else if (percent(count + deleted) > grow_limit) {
            // Mostly deleted slots: rebuild at the same size to restore the empty
            // slots that end the probe chains.
            if (!allocate(size, size))
                return false;
        }
        std::size_t pos = find_free_pos(key);
        if (pos == KEY_EXISTS)
            return false;
        store(pos, key, value);
        return true;
    }

    // Copies the value of the n-th entry of the key (0 first, probe order).
    bool find(const K& key, T& value, int n = 0) const
    {
        const T* p = find_ptr(key, n);
        if (p == nullptr)
            return false;
        value = *p;
        return true;
    }

    // The value of the n-th entry of the key, or null.
    T* find_ptr(const K& key, int n = 0) const
    {
        std::size_t pos = find_pos(key, n);
        return pos == NOT_FOUND ? nullptr : &slots[pos].value;
    }

    int num_items_for_key(const K& key) const
    {
        int n = 0;
        probe(key, [&](XrHashSlot& s) {
            if (s.state == SLOT_EMPTY)
                return true;
            if (s.state == SLOT_USED && s.key == key)
                ++n;
            return false;
        });
        return n;
    }

    // Marks the n-th entry of the key deleted; its key and value stay in the
    // slot (free_item is not called) until the slot is reused.
    bool remove(const K& key, int n = 0)
    {
        std::size_t pos = find_pos(key, n);
        if (pos == NOT_FOUND)
            return false;
        slots[pos].state = SLOT_DELETED;
        --count;
        ++deleted;
        return true;
    }

    // free_item for every used entry, then every slot empty.
    void clear()
    {
        for (unsigned int i = 0; i < size; ++i) {
            if (slots[i].state == SLOT_USED)
                free_item(&slots[i].key, &slots[i].value);
            slots[i] = XrHashSlot();
        }
        count = 0;
        deleted = 0;
    }

    unsigned int get_count() const { return count; }
    unsigned int get_size() const { return size; }
    // While set, the destructor neither releases the entries nor frees the slots.
    void set_keep_table(bool keep) { keep_table = keep ? 1 : 0; }

    // The first prime of the table strictly greater than the request.
    static std::size_t find_prime_size(std::size_t request)
    {
        static const unsigned int primes[] = {
            17, 59, 103, 157, 211, 269, 331, 389, 449, 509, 659, 821, 977, 1249, 1571, 1889,
            2371, 3011, 3659, 4481, 5779, 7043, 8461, 11027, 13577, 16139, 21001, 26113,
            31237, 39937, 50177, 60427, 75781, 96259, 116741, 143387, 184321, 225287,
            270337, 352267, 434179, 516127, 671753, 835591, 999431, 1277957, 1605677,
            1933331, 2424833, 3080237, 3735553, 4587533, 5898253, 7208977, 8650753,
            11272193, 13893637, 16515073, 21495809, 26738717, 31981583, 40894481, 51380233,
            61865989, 77594641, 98566147, 119537689, 146800649, 188743691, 230686721,
            276824071, 360710167, 444596227, 528482347, 687865859, 855638023, 1023410207,
            1308622877, 1644167233,
        };
        for (unsigned int p : primes) {
            if (p > request)
                return p;
        }
        XR_ASSERT(false);
    }

protected:
    static constexpr std::size_t NOT_FOUND = ~std::size_t(0);
    static constexpr std::size_t KEY_EXISTS = ~std::size_t(0) - 1;

    // Rebuilds the table at new_size, inserting the used entries again in
    // old slot order; false (table unchanged) when the slots cannot be had.
    virtual bool allocate(std::size_t old_size, std::size_t new_size)
    {
        XrHashSlot* fresh = new (std::nothrow) XrHashSlot[new_size];
        if (fresh == nullptr)
            return false;
        XrHashSlot* old = slots;
        slots = fresh;
        size = static_cast<unsigned int>(new_size);
        count = 0;
        deleted = 0;
        for (std::size_t i = 0; i < old_size; ++i) {
            if (old[i].state != SLOT_USED)
                continue;
            std::size_t pos = find_free_pos(old[i].key);
            bool b = pos != KEY_EXISTS;
            XR_ASSERT(b);
            store(pos, std::move(old[i].key), std::move(old[i].value));
        }
        delete[] old;
        return true;
    }

    // Called for every used entry when the table is cleared or destroyed; a
    // table that owns its values deletes them here. The base destructor
    // cannot reach an override, so such a table calls clear() in its own.
    virtual void free_item(K* key, T* value)
    {
        (void)key;
        (void)value;
    }

    // The first empty or deleted slot along the key's probe chain. Without
    // multiple entries the whole chain is searched for the key first, so a
    // key is never stored twice: KEY_EXISTS when it is present.
    std::size_t find_free_pos(const K& key) const
    {
        std::size_t free_pos = NOT_FOUND;
        bool exists = false;
        probe(key, [&](XrHashSlot& s) {
            if (s.state != SLOT_USED) {
                if (free_pos == NOT_FOUND)
                    free_pos = &s - slots;
                return multiple || s.state == SLOT_EMPTY;
            }
            if (!multiple && s.key == key) {
                exists = true;
                return true;
            }
            return false;
        });
        if (exists)
            return KEY_EXISTS;
        XR_ASSERT_MSG(free_pos != NOT_FOUND, "false");
        return free_pos;
    }

    unsigned int count = 0;
    unsigned int size;
    unsigned int grow_limit;
    bool multiple;
    XrHashSlot* slots = nullptr;
    unsigned int keep_table = 0;
    unsigned int deleted = 0;

private:
    // Fill ratio in percent of n entries.
    unsigned int percent(unsigned int n) const { return static_cast<unsigned int>(std::uint64_t(n) * 100 / size); }

    template <class KK, class TT>
    void store(std::size_t pos, KK&& key, TT&& value)
    {
        XrHashSlot& s = slots[pos];
        if (s.state == SLOT_DELETED)
            --deleted;
        s.key = std::forward<KK>(key);
        s.value = std::forward<TT>(value);
        s.state = SLOT_USED;
        ++count;
    }

    // The slot of the n-th entry of the key, or NOT_FOUND.
    std::size_t find_pos(const K& key, int n) const
    {
        std::size_t found = NOT_FOUND;
        probe(key, [&](XrHashSlot& s) {
            if (s.state == SLOT_EMPTY)
                return true;
            if (s.state == SLOT_USED && s.key == key && n-- == 0) {
                found = &s - slots;
                return true;
            }
            return false;
        });
        return found;
    }

    // Visits the probe sequence of the key until visit returns true: a
    // quadratic phase (offsets 0, 1, 3, 6, 10, ...) of size / 2 + 1 slots,
    // then a linear phase of up to size slots.
    template <class F>
    void probe(const K& key, F&& visit) const
    {
        std::size_t pos = xr_hash_key(key) % size;
        std::size_t quadratic = size / 2 + 1;
        for (std::size_t i = 1; i <= quadratic; ++i) {
            if (visit(slots[pos]))
                return;
            pos += i; // i < size, so one subtraction is the modulo
            if (pos >= size)
                pos -= size;
        }
        for (std::size_t i = 0; i < size; ++i) {
            if (visit(slots[pos]))
                return;
            if (++pos == size)
                pos = 0;
        }
    }
};
