// The generational copying collector, the write barrier and the finaliser
// queue.
//
// Generation g's live objects are copied into generation g+1 while it has
// room, else into the to-space, which then becomes g's area. Copied objects
// are scanned breadth first (two scan pointers, one in each target area), so
// the collector needs no memory besides the heap. Holders in older
// generations are found through g's remembered set, which grows downward
// from the top of g's area; objects of younger generations are scanned whole.
#include "toolkit/jvm/kojvm_internal.h"
#include "toolkit/jvm/kojvm_class.h"

#include "lib/io/kofs.h"
#include "lib/rt/kolib.h"

#include <algorithm>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KO_GC_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KO_GC_ASAN 1
#endif
#endif
#ifdef KO_GC_ASAN
#include <sanitizer/asan_interface.h>
#define KO_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define KO_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define KO_POISON(p, n) ((void)(p), (void)(n))
#define KO_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

inline KoRef* set_top(KoJvmRec* vm, KoJvmGeneration* gen)
{
    return reinterpret_cast<KoRef*>(gen->start + vm->area_size);
}

bool append_remembered(KoJvmRec* vm, KoJvmGeneration* gen, KoRef holder)
{
    if (gen->free < 4)
        return false;
    gen->free -= 4;
    set_top(vm, gen)[-1 - static_cast<std::int64_t>(gen->remembered_count)] = holder;
    ++gen->remembered_count;
    return true;
}

// Offsets of the reference fields of instances of c (its own and its
// superclasses'): word 0 is the count.
const std::uint32_t* ref_map(KoJvmClassRec* c)
{
    if (const std::uint32_t* m = ko_ptr<const std::uint32_t>(c->ref_map))
        return m;
    std::uint32_t count = 0;
    for (KoJvmClassRec* k = c; k; k = ko_jvm_superclass(k))
        for (std::uint16_t i = 0; i < k->field_count; ++i) {
            const KoJvmFieldRec& f = ko_fields(k)[i];
            char d = ko_sym_bytes(ko_sym(f.desc))[0];
            if (!(f.access & KO_ACC_STATIC) && (d == 'L' || d == '['))
                ++count;
        }
    auto* m = static_cast<std::uint32_t*>(ko_jvm_arena_alloc(4 * (count + 1)));
    if (!m)
        ko_fatal("GC: out of memory for a reference map");
    m[0] = count;
    std::uint32_t n = 1;
    for (KoJvmClassRec* k = c; k; k = ko_jvm_superclass(k))
        for (std::uint16_t i = 0; i < k->field_count; ++i) {
            const KoJvmFieldRec& f = ko_fields(k)[i];
            char d = ko_sym_bytes(ko_sym(f.desc))[0];
            if (!(f.access & KO_ACC_STATIC) && (d == 'L' || d == '['))
                m[n++] = f.offset;
        }
    c->ref_map = ko_ref(m);
    return m;
}

// Calls fn(slot) for every reference slot of o.
template <typename Fn>
inline void for_each_slot(KoJvmObjectRec* o, Fn fn)
{
    KoJvmClassRec* c = ko_jvm_class(o);
    unsigned char* base = reinterpret_cast<unsigned char*>(o);
    if (c->vm_flags & KO_JVM_CLASS_F_ARRAY) {
        if (c->vm_flags & KO_JVM_CLASS_F_PRIMITIVE)
            return;
        KoRef* e = reinterpret_cast<KoRef*>(base + c->instance_size);
        std::uint32_t n = reinterpret_cast<KoJvmArrayRec*>(o)->length;
        for (std::uint32_t i = 0; i < n; ++i)
            fn(e + i);
        return;
    }
    const std::uint32_t* m = ref_map(c);
    for (std::uint32_t i = 1; i <= m[0]; ++i)
        fn(reinterpret_cast<KoRef*>(base + m[i]));
}

struct Gc {
    KoJvmRec* vm;
    std::uint32_t g;
    KoRef lo;              // the collected generation's old objects: [lo, lo + span)
    std::uint32_t span;
    KoJvmGeneration* to;   // the to-space
    KoJvmGeneration* next; // generation g+1, null for the last one
    std::uint32_t reserve; // room g+1 keeps for remembered entries
    unsigned char* scan_to;
    unsigned char* scan_next;

    bool in_old(KoRef r) const { return r - lo < span; }

    KoRef copy(KoRef r)
    {
        KoJvmObjectRec* o = ko_obj(r);
        if (o->flags & KO_JVM_OBJECT_F_FORWARD)
            return o->forward;
        std::uint32_t size = ko_jvm_object_size(o);
        KoJvmGeneration* dest;
        std::uint8_t gen;
        if (next && next->free >= size + reserve) {
            dest = next;
            gen = static_cast<std::uint8_t>(g + 1);
        } else {
            dest = to;
            gen = static_cast<std::uint8_t>(g);
            if (next)
                vm->gc_request = static_cast<std::int32_t>(g + 1);
        }
        if (dest->free < size)
            ko_fatal("GC: no room to copy an object");
        KoJvmObjectRec* n = reinterpret_cast<KoJvmObjectRec*>(dest->alloc);
        std::memcpy(n, o, size);
        dest->alloc += size;
        dest->free -= size;
        n->generation = gen;
        n->flags &= ~(KO_JVM_OBJECT_F_FORWARD | KO_JVM_OBJECT_F_VISITED);
        n->forward = 0;
        o->flags |= KO_JVM_OBJECT_F_FORWARD;
        o->forward = ko_ref(n);
        ++vm->gc_moved_objects;
        vm->gc_moved_bytes += size;
        KoJvmGeneration& src = vm->gens[g];
        ++src.live_objects;
        src.live_bytes += size;
        return o->forward;
    }

    // Records a holder that now refers into a younger generation.
    void remember(KoJvmObjectRec* holder, KoJvmObjectRec* target)
    {
        std::uint8_t tg = target->generation;
        if (holder->generation <= tg)
            return;
        std::uint8_t bit = static_cast<std::uint8_t>(1u << tg);
        if (holder->remembered & bit)
            return;
        KoJvmGeneration* set = tg == g ? to : &vm->gens[tg];
        if (!append_remembered(vm, set, ko_ref(holder)))
            ko_fatal("GC: set reference failed");
        holder->remembered |= bit;
    }

    void root(KoRef* slot)
    {
        KoRef r = *slot;
        if (r && in_old(r))
            *slot = copy(r);
    }
    void root(KoJvmObjectRec** slot)
    {
        KoRef r = ko_ref(*slot);
        if (r && in_old(r))
            *slot = ko_obj(copy(r));
    }

    void scan(KoJvmObjectRec* o)
    {
        for_each_slot(o, [this, o](KoRef* slot) {
            KoRef r = *slot;
            if (!r)
                return;
            if (in_old(r)) {
                r = copy(r);
                *slot = r;
            }
            remember(o, ko_obj(r));
        });
    }

    void drain()
    {
        for (;;) {
            bool any = false;
            while (scan_to < to->alloc) {
                KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(scan_to);
                scan_to += ko_jvm_object_size(o);
                scan(o);
                any = true;
            }
            while (next && scan_next < next->alloc) {
                KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(scan_next);
                scan_next += ko_jvm_object_size(o);
                scan(o);
                any = true;
            }
            if (!any)
                return;
        }
    }
};

template <typename Fn>
void for_each_object(KoJvmGeneration& gen, Fn fn)
{
    for (unsigned char* p = gen.start; p < gen.alloc;) {
        KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(p);
        p += ko_jvm_object_size(o);
        fn(o);
    }
}

void scan_roots(Gc& c)
{
    KoJvmRec* vm = c.vm;
    for (int i = 0; i < vm->handle_count; ++i)
        c.root(vm->handles[i]);
    for (KoJvmGlobalRef* n = vm->globals; n; n = n->next)
        c.root(&n->object);
    c.root(&vm->oom);
    for (KoJvmRootBlock* b = vm->root_blocks; b; b = b->next)
        for (int i = 0; i < *b->count; ++i)
            if (b->tags[i] == 1)
                c.root(&b->values[i].ref);
    c.root(&vm->thread_group);
    auto class_roots = [&c](KoJvmClassRec* k) {
        c.root(&k->class_object);
        if (!(k->vm_flags & (KO_JVM_CLASS_F_STATIC_REFS | KO_JVM_CLASS_F_STRINGS)))
            return;
        if (k->statics)
            for (std::uint16_t i = 0; i < k->field_count; ++i) {
                const KoJvmFieldRec& f = ko_fields(k)[i];
                char d = ko_sym_bytes(ko_sym(f.desc))[0];
                if ((f.access & KO_ACC_STATIC) && (d == 'L' || d == '['))
                    c.root(reinterpret_cast<KoRef*>(ko_ptr<unsigned char>(k->statics) + f.offset));
            }
        KoJvmConst* pool = ko_pool(k);
        for (std::uint16_t i = 1; pool && i < k->pool_count; ++i)
            if (pool[i].tag == KO_CP_STRING && pool[i].resolved)
                c.root(&pool[i].u.string);
    };
    for (KoRef head : vm->symbols)
        for (KoJvmSymbol* s = ko_sym(head); s; s = ko_sym(s->next)) {
            c.root(&s->string);
            if (KoJvmClassRec* k = ko_cls(s->clazz))
                class_roots(k);
        }
    if (KoJvmClassRec* k = ko_cls(vm->parsing))
        class_roots(k);
    for (KoJvmThread* t = vm->threads; t; t = t->all_next) {
        c.root(&t->thread_object);
        c.root(&t->pending);
        c.root(&t->blocked_on);
        c.root(&t->presync);
        for (KoJvmCat1ValueUnion* s = t->stack_base; s && s <= t->sp; ++s)
            if (*ko_tag(t, s) == 1)
                c.root(&s->ref);
    }
}

void collect_one(KoJvmRec* vm, std::uint32_t g)
{
    KoJvmGeneration& from = vm->gens[g];
    KoJvmGeneration* to = &vm->gens[vm->generation_count];
    KO_UNPOISON(to->start, vm->area_size);
    to->alloc = to->start;
    to->free = vm->area_size;
    to->remembered_count = 0;
    to->overflow = false;
    vm->gc_moved_objects = 0;
    vm->gc_moved_bytes = 0;
    ++from.collections;
    std::uint64_t before = 0;
    for (std::uint32_t k = 0; k < vm->generation_count; ++k)
        before += vm->gens[k].alloc - vm->gens[k].start;

    Gc c{};
    c.vm = vm;
    c.g = g;
    c.lo = ko_ref(from.start);
    c.span = static_cast<std::uint32_t>(from.alloc - from.start);
    c.to = to;
    c.next = g + 1 < vm->generation_count ? &vm->gens[g + 1] : nullptr;
    c.reserve = 4 * from.remembered_count + 4;
    c.scan_to = to->start;
    c.scan_next = c.next ? c.next->alloc : nullptr;

    scan_roots(c);
    // Holders in older generations: the remembered set, or every object when
    // the set overflowed.
    std::uint8_t bit = static_cast<std::uint8_t>(1u << g);
    KoRef* top = set_top(vm, &from);
    for (std::uint32_t i = 0; i < from.remembered_count; ++i) {
        KoJvmObjectRec* h = ko_obj(top[-1 - static_cast<std::int64_t>(i)]);
        h->remembered &= ~bit;
        c.scan(h);
    }
    if (from.overflow)
        for (std::uint32_t k = g + 1; k < vm->generation_count; ++k) {
            unsigned char* end = vm->gens[k].alloc; // objects copied into g+1 now are scanned by drain
            for (unsigned char* p = vm->gens[k].start; p < end && p < (k == g + 1 ? c.scan_next : end);) {
                KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(p);
                p += ko_jvm_object_size(o);
                o->remembered &= ~bit;
                c.scan(o);
            }
        }
    // Younger generations are scanned whole.
    for (std::uint32_t k = 0; k < g; ++k)
        for_each_object(vm->gens[k], [&c](KoJvmObjectRec* o) { c.scan(o); });
    c.drain();

    // Objects that died with a finaliser to run survive once more, queued.
    if (vm->finalizer) {
        std::uint32_t kept = 0;
        for (unsigned char* p = from.start; p < from.alloc;) {
            KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(p);
            p += ko_jvm_object_size(o);
            if (o->flags & (KO_JVM_OBJECT_F_FORWARD | KO_JVM_OBJECT_F_FINALIZER))
                continue;
            if ((o->flags & KO_JVM_OBJECT_F_FINALIZE_PENDING) ||
                (ko_jvm_class(o)->vm_flags & KO_JVM_CLASS_F_FINALIZER)) {
                if (!(o->flags & KO_JVM_OBJECT_F_FINALIZE_PENDING)) {
                    o->flags |= KO_JVM_OBJECT_F_FINALIZE_PENDING;
                    ++vm->finalizable;
                }
                c.copy(ko_ref(o));
                ++kept;
            }
        }
        if (kept) {
            c.drain();
            if (vm->finalizer->flags & KO_JVM_THREAD_F_FINALIZER_WAIT)
                ko_jvm_wake_finalizer(vm);
        }
    }

    // Younger generations' sets may list holders that moved or died.
    for (std::uint32_t k = 0; k < g; ++k) {
        KoJvmGeneration& y = vm->gens[k];
        KoRef* yt = set_top(vm, &y);
        for (std::uint32_t i = 0; i < y.remembered_count;) {
            KoRef& e = yt[-1 - static_cast<std::int64_t>(i)];
            if (c.in_old(e)) {
                KoJvmObjectRec* h = ko_obj(e);
                if (h->flags & KO_JVM_OBJECT_F_FORWARD) {
                    e = h->forward;
                } else {
                    e = yt[-static_cast<std::int64_t>(y.remembered_count)];
                    --y.remembered_count;
                    y.free += 4;
                    continue;
                }
            }
            ++i;
        }
    }

    // Generation g continues in the area that holds the copies.
    unsigned char* old = from.start;
    from.start = to->start;
    from.alloc = to->alloc;
    from.free = to->free;
    from.remembered_count = to->remembered_count;
    from.overflow = false;
    to->start = to->alloc = old;
    to->free = vm->area_size;
    to->remembered_count = 0;
#ifndef NDEBUG
    std::memset(old, 0xDB, vm->area_size);
#endif
    KO_POISON(old, vm->area_size);

    if (vm->gc_debug) {
        std::uint64_t after = 0;
        for (std::uint32_t k = 0; k < vm->generation_count; ++k)
            after += vm->gens[k].alloc - vm->gens[k].start;
        ko_jvm_printf(vm, "GC %u done: moved %u objects, %u bytes, alloc %u -> %u\n", g, vm->gc_moved_objects,
                      vm->gc_moved_bytes, static_cast<unsigned>(before), static_cast<unsigned>(after));
        ko_jvm_print_gc_statistics(vm);
    }
#ifdef NDEBUG
    if (vm->params.options & 0xFF0000) // collector stress: verify in every build
#endif
        ko_jvm_verify_heap(vm);
}

} // namespace

void ko_jvm_collect(KoJvmRec* vm, std::uint32_t g, std::uint32_t need)
{
    if (vm->gc_running || g >= vm->generation_count || !vm->heap)
        return;
    vm->gc_running = true;
    std::int64_t started = vm->pauses ? ko_time_now() : 0;
    bool retry = false;
    std::uint32_t cur = g;
    for (;;) {
        vm->gc_request = -1;
        collect_one(vm, cur);
        if (vm->gc_request >= 0 && !retry) {
            cur = static_cast<std::uint32_t>(vm->gc_request);
            continue;
        }
        if (cur != g && !retry && vm->gens[g].free < need) {
            retry = true;
            cur = g;
            continue;
        }
        break;
    }
    vm->gc_wanted = false;
    vm->gc_running = false;
    if (vm->pauses && vm->pause_count < vm->pause_capacity)
        vm->pauses[vm->pause_count++] = static_cast<std::uint32_t>(ko_time_now() - started);
}

void ko_jvm_record_pauses(KoJvmRec* vm)
{
    if (vm->pauses)
        return;
    vm->pause_capacity = 1u << 20;
    vm->pauses = static_cast<std::uint32_t*>(ko_malloc(sizeof(std::uint32_t) * vm->pause_capacity));
    if (!vm->pauses)
        vm->pause_capacity = 0;
}

void ko_jvm_pause_summary(KoJvmRec* vm, std::uint32_t* count, std::uint32_t* max_us, std::uint32_t* p99_us)
{
    *count = vm->pause_count;
    *max_us = *p99_us = 0;
    if (!vm->pause_count)
        return;
    std::vector<std::uint32_t> v(vm->pauses, vm->pauses + vm->pause_count);
    std::sort(v.begin(), v.end());
    *max_us = v.back();
    *p99_us = v[(v.size() * 99 + 99) / 100 - 1];
}

bool ko_jvm_remember(KoJvmRec* vm, KoJvmObjectRec* holder, KoJvmObjectRec* target)
{
    if (!holder || !target || target->generation >= holder->generation)
        return true;
    std::uint8_t bit = static_cast<std::uint8_t>(1u << target->generation);
    if (holder->remembered & bit)
        return true;
    KoJvmGeneration& gen = vm->gens[target->generation];
    if (!append_remembered(vm, &gen, ko_ref(holder))) {
        // The next collection of that generation scans every older object.
        gen.overflow = true;
        vm->gc_wanted = true;
    }
    holder->remembered |= bit;
    return true;
}

void ko_jvm_add_root_block(KoJvmRec* vm, KoJvmRootBlock* b)
{
    b->prev = nullptr;
    b->next = vm->root_blocks;
    if (b->next)
        b->next->prev = b;
    vm->root_blocks = b;
}

void ko_jvm_remove_root_block(KoJvmRec* vm, KoJvmRootBlock* b)
{
    if (b->prev)
        b->prev->next = b->next;
    else if (vm->root_blocks == b)
        vm->root_blocks = b->next;
    if (b->next)
        b->next->prev = b->prev;
    b->next = b->prev = nullptr;
}

void ko_jvm_verify_heap(KoJvmRec* vm)
{
    // Object starts of every generation.
    std::vector<std::pair<KoRef, KoRef>> areas;
    std::vector<std::vector<bool>> starts(vm->generation_count);
    for (std::uint32_t k = 0; k < vm->generation_count; ++k) {
        KoJvmGeneration& gen = vm->gens[k];
        if (gen.alloc < gen.start || gen.alloc - gen.start + 4 * std::uint64_t(gen.remembered_count) + gen.free !=
                                         vm->area_size)
            ko_fatal("GC verify: generation %u accounts for %u bytes", k, vm->area_size);
        starts[k].assign(vm->area_size / 4, false);
        for (unsigned char* p = gen.start; p < gen.alloc;) {
            KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(p);
            KoJvmClassRec* c = ko_jvm_class(o);
            if (!c || !ko_jvm_arena_contains(c) || !ko_sym(c->name))
                ko_fatal("GC verify: object without class in generation %u", k);
            if (o->generation != k || (o->flags & KO_JVM_OBJECT_F_FORWARD))
                ko_fatal("GC verify: object of generation %u says %u (flags %#x)", k, o->generation, o->flags);
            starts[k][(p - gen.start) / 4] = true;
            p += ko_jvm_object_size(o);
            if (p > gen.alloc)
                ko_fatal("GC verify: object runs past generation %u", k);
        }
    }
    auto find_gen = [vm](KoRef r) -> int {
        for (std::uint32_t k = 0; k < vm->generation_count; ++k) {
            KoRef lo = ko_ref(vm->gens[k].start);
            if (r - lo < static_cast<std::uint32_t>(vm->gens[k].alloc - vm->gens[k].start))
                return static_cast<int>(k);
        }
        return -1;
    };
    auto check = [&](KoRef r, const char* what) {
        if (!r)
            return -2;
        int k = find_gen(r);
        if (k < 0 || !starts[k][(r - ko_ref(vm->gens[k].start)) / 4])
            ko_fatal("GC verify: %s refers to %#x, not an object", what, r);
        return k;
    };
    for (std::uint32_t k = 0; k < vm->generation_count; ++k) {
        // Set entries name objects of older generations that carry the bit.
        KoRef* top = set_top(vm, &vm->gens[k]);
        for (std::uint32_t i = 0; i < vm->gens[k].remembered_count; ++i) {
            KoRef h = top[-1 - static_cast<std::int64_t>(i)];
            int hk = check(h, "a remembered entry");
            if (hk <= static_cast<int>(k) || !(ko_obj(h)->remembered & (1u << k)))
                ko_fatal("GC verify: remembered entry of generation %u is wrong", k);
        }
        for_each_object(vm->gens[k], [&](KoJvmObjectRec* o) {
            for_each_slot(o, [&](KoRef* slot) {
                int tk = check(*slot, "a field");
                if (tk >= 0 && tk < static_cast<int>(k) && !(o->remembered & (1u << tk)) &&
                    !vm->gens[tk].overflow)
                    ko_fatal("GC verify: unremembered reference from generation %u to %d", k, tk);
            });
        });
    }
    for (int i = 0; i < vm->handle_count; ++i)
        check(ko_ref(*vm->handles[i]), "a handle");
    for (KoJvmThread* t = vm->threads; t; t = t->all_next)
        for (KoJvmCat1ValueUnion* s = t->stack_base; s && s <= t->sp; ++s)
            if (*ko_tag(t, s) == 1)
                check(s->ref, "a stack slot");
}

void ko_jvm_print_gc_statistics(KoJvmRec* vm)
{
    ko_jvm_printf(vm, "------------------------------------------------------------------------\n"
                      "Gen     GC           Allocated                      Live\n"
                      "       Count    Objects       Bytes    Objects      %%       Bytes      %%\n"
                      "------------------------------------------------------------------------\n");
    for (std::uint32_t k = 0; k < vm->generation_count; ++k) {
        const KoJvmGeneration& g = vm->gens[k];
        std::uint64_t po = g.objects ? std::uint64_t(g.live_objects) * 10000 / g.objects : 0;
        std::uint64_t pb = g.bytes ? g.live_bytes * 10000 / g.bytes : 0;
        ko_jvm_printf(vm, "%d %10d %10d%12llu %10d%4d.%02d%12llu%4d.%02d\n", static_cast<int>(k),
                      static_cast<int>(g.collections), static_cast<int>(g.objects),
                      static_cast<unsigned long long>(g.bytes), static_cast<int>(g.live_objects),
                      static_cast<int>(po / 100), static_cast<int>(po % 100),
                      static_cast<unsigned long long>(g.live_bytes), static_cast<int>(pb / 100),
                      static_cast<int>(pb % 100));
    }
    ko_jvm_printf(vm, "------------------------------------------------------------------------\n");
}

std::uint32_t ko_jvm_gc_count(KoJvmRec* vm)
{
    std::uint32_t n = 0;
    for (std::uint32_t k = 0; k < vm->generation_count; ++k)
        n += vm->gens[k].collections;
    return n;
}

bool ko_jvm_has_finalizable(KoJvmRec* vm) { return vm->finalizable > 0; }

KoJvmObjectRec* ko_jvm_next_finalizable(KoJvmRec* vm)
{
    if (!vm->finalizable)
        return nullptr;
    for (std::uint32_t k = 0; k < vm->generation_count; ++k) {
        KoJvmObjectRec* found = nullptr;
        for (unsigned char* p = vm->gens[k].start; p < vm->gens[k].alloc && !found;) {
            KoJvmObjectRec* o = reinterpret_cast<KoJvmObjectRec*>(p);
            p += ko_jvm_object_size(o);
            if ((o->flags & (KO_JVM_OBJECT_F_FINALIZE_PENDING | KO_JVM_OBJECT_F_FINALIZER)) ==
                KO_JVM_OBJECT_F_FINALIZE_PENDING)
                found = o;
        }
        if (found) {
            found->flags |= KO_JVM_OBJECT_F_FINALIZER;
            --vm->finalizable;
            return found;
        }
    }
    vm->finalizable = 0;
    return nullptr;
}

void ko_jvm_collect_requested(KoJvmRec* vm)
{
    bool full = vm->gc_full;
    vm->gc_full = false;
    ko_jvm_collect(vm, 0, 0);
    for (std::uint32_t g = 1; full && g < vm->generation_count; ++g)
        ko_jvm_collect(vm, g, 0);
}

namespace {
void resume_finalizer(void* p)
{
    KoJvmRec* vm = static_cast<KoJvmRec*>(p);
    KoJvmThread* f = vm->finalizer;
    if (f && (f->flags & KO_JVM_THREAD_F_FINALIZER_WAIT)) {
        f->flags &= ~KO_JVM_THREAD_F_FINALIZER_WAIT;
        ko_jvm_native_complete(nullptr, nullptr, f);
    }
}
}

// The finaliser thread waits inside its native; it resumes from the
// scheduler, not from inside the collection.
void ko_jvm_wake_finalizer(KoJvmRec* vm)
{
    KoJvmThread* f = vm->finalizer;
    if (f && (f->flags & KO_JVM_THREAD_F_FINALIZER_WAIT))
        ko_jvm_post(vm, resume_finalizer, vm);
}
