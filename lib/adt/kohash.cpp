#include "lib/adt/kohash.h"

#include "lib/io/kohandle.h"
#include "lib/rt/kolib.h"

namespace {
const std::uint32_t kBuckets = 1024;
KoHashLink* link_of(KoHash* t, void* e) { return reinterpret_cast<KoHashLink*>(static_cast<char*>(e) + t->link_offset); }
void* entry_of(KoHash* t, KoHashLink* l) { return reinterpret_cast<char*>(l) - t->link_offset; }
}

KoHash* ko_hash_new(KoHashFn hash, KoHashCompareFn compare, KoHashFreeFn free_entry, std::uint32_t link_offset, void* user)
{
    KoHash* t = static_cast<KoHash*>(ko_calloc(1, sizeof(KoHash)));
    if (!t)
        return nullptr;
    t->buckets = static_cast<KoHashLink**>(ko_calloc(kBuckets, sizeof(KoHashLink*)));
    if (!t->buckets) {
        ko_free(t);
        return nullptr;
    }
    t->bucket_count = kBuckets;
    t->hash = hash;
    t->compare = compare;
    t->free_entry = free_entry;
    t->link_offset = link_offset;
    t->user = user;
    return t;
}

void ko_hash_free(KoHash* t)
{
    if (!t)
        return;
    if (t->free_entry) {
        for (std::uint32_t b = 0; b < t->bucket_count; ++b) {
            while (KoHashLink* l = t->buckets[b]) {
                t->buckets[b] = l->next;
                l->next = nullptr;
                t->free_entry(entry_of(t, l), t->user);
            }
        }
    }
    ko_free(t->buckets);
    ko_free(t);
}

void ko_hash_insert(KoHash* t, void* entry)
{
    std::uint32_t b = t->hash(entry, t->user) % kBuckets;
    for (KoHashLink** p = &t->buckets[b]; *p; p = &(*p)->next) {
        if (t->compare(entry, entry_of(t, *p), t->user) == 0) {
            KoHashLink* old = *p;
            *p = old->next;
            old->next = nullptr;
            --t->count;
            if (t->free_entry)
                t->free_entry(entry_of(t, old), t->user);
            break;
        }
    }
    KoHashLink* l = link_of(t, entry);
    l->next = t->buckets[b];
    l->following_bucket = b + 1 < kBuckets ? &t->buckets[b + 1] : nullptr;
    t->buckets[b] = l;
    ++t->count;
}

void ko_hash_remove(KoHash* t, void* entry)
{
    std::uint32_t b = t->hash(entry, t->user) % kBuckets;
    KoHashLink* l = link_of(t, entry);
    for (KoHashLink** p = &t->buckets[b]; *p; p = &(*p)->next) {
        if (*p == l) {
            *p = l->next;
            l->next = nullptr;
            --t->count;
            return;
        }
    }
    ko_fatal("%s:%d: Unreachable code reached", "lib/adt/kohash", 161);
}

void* ko_hash_find(KoHash* t, const void* key)
{
    std::uint32_t b = t->hash(key, t->user) % kBuckets;
    for (KoHashLink* l = t->buckets[b]; l; l = l->next)
        if (t->compare(key, entry_of(t, l), t->user) == 0)
            return entry_of(t, l);
    return nullptr;
}
