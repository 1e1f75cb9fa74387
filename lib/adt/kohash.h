// Intrusive chained hash table with a fixed 1024 buckets.
#pragma once

#include <cstdint>

struct KoHashLink {
    KoHashLink* next;
    KoHashLink** following_bucket;
};
typedef std::uint32_t (*KoHashFn)(const void* entry_or_key, void* user);
typedef int (*KoHashCompareFn)(const void* key, const void* entry, void* user);
typedef void (*KoHashFreeFn)(void* entry, void* user);

struct KoHash {
    std::uint32_t count;
    KoHashLink** buckets;
    std::uint32_t bucket_count;
    KoHashFn hash;
    KoHashCompareFn compare;
    KoHashFreeFn free_entry;
    std::uint32_t link_offset;
    void* user;
};

KoHash* ko_hash_new(KoHashFn hash, KoHashCompareFn compare, KoHashFreeFn free_entry, std::uint32_t link_offset, void* user);
void ko_hash_free(KoHash* table);
void ko_hash_insert(KoHash* table, void* entry);
void ko_hash_remove(KoHash* table, void* entry);
void* ko_hash_find(KoHash* table, const void* key);
