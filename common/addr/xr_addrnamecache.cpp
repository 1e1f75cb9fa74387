// The address database's street-name cache: street names looked up by
// street key, kept from the most to the least recently used.
#include <algorithm>

#include "common/addr/xr_addraccessor.h"

void XrAddrAccessor::ensure_cache()
{
    if (m_cache != nullptr)
        return;
    m_cache = std::make_unique<XrGidCacheItem[]>(CACHE_ITEMS);
    m_gid_cache = std::make_unique<XrHash<unsigned int, XrGidCacheItem*>>(160, false, 80);
    flush_name_cache();
}

void XrAddrAccessor::destroy_cache()
{
    m_cache_head = nullptr;
    m_cache_tail = nullptr;
    m_gid_cache.reset();
    m_cache.reset();
}

void XrAddrAccessor::flush_name_cache()
{
    if (m_cache == nullptr)
        return;
    m_gid_cache->clear();
    for (int i = 0; i < CACHE_ITEMS; ++i) {
        XrGidCacheItem& item = m_cache[i];
        item.prev = i > 0 ? &m_cache[i - 1] : nullptr;
        item.next = i + 1 < CACHE_ITEMS ? &m_cache[i + 1] : nullptr;
        item.name.clear();
        item.gid = 0;
        item.county_type = 0;
        item.position = 0;
        item.wanted_language = 0;
        item.language = 0;
        item.used = false;
    }
    m_cache_head = &m_cache[0];
    m_cache_tail = &m_cache[CACHE_ITEMS - 1];
}

void XrAddrAccessor::cache_move_to_head(XrGidCacheItem* item)
{
    if (item == m_cache_head)
        return;
    item->prev->next = item->next;
    if (item->next != nullptr)
        item->next->prev = item->prev;
    else
        m_cache_tail = item->prev;
    item->prev = nullptr;
    item->next = m_cache_head;
    m_cache_head->prev = item;
    m_cache_head = item;
}

void XrAddrAccessor::cache_enter(XrGid gid, XrLC wanted, const XrString& name, unsigned int county_type,
                                 XrLC language)
{
    XrGidCacheItem* ci = nullptr;
    if (!m_gid_cache->find(gid, ci)) {
        ci = m_cache_tail;
        if (ci->used)
            m_gid_cache->remove(ci->gid);
        ci->used = m_gid_cache->insert(gid, ci);
        ci->gid = gid;
    }
    XR_ASSERT_MSG(ci->gid == gid, "ci->gid == gid");
    ci->position = get_current_position();
    ci->name = name;
    ci->county_type = county_type;
    ci->wanted_language = wanted;
    ci->language = language;
    cache_move_to_head(ci);
}

XrAddrAccessor::Status XrAddrAccessor::get_street_by_gid(XrGid gid, XrString& name)
{
    return get_street_by_gid(gid, name, nullptr, nullptr, 0, nullptr);
}

XrAddrAccessor::Status XrAddrAccessor::get_street_by_gid(XrGid gid, XrString& name, unsigned int& country)
{
    unsigned int county = 0;
    const Status st = get_street_by_gid(gid, name, &county, nullptr, 0, nullptr);
    if (st != OK)
        return st;
    XrString county_name;
    BYTE attribute = 0;
    country = get_county(county, county_name, &attribute, nullptr) == OK && attribute < m_num_countries ? attribute : 0;
    return OK;
}

XrAddrAccessor::Status XrAddrAccessor::get_street_by_gid(XrGid gid, XrString& name, unsigned int* county, int* type,
                                                         XrLC lang, XrLC* lang_out)
{
    ensure_cache();
    XrGidCacheItem* ci = nullptr;
    if (m_gid_cache->find(gid, ci) && ci->wanted_language == lang) {
        XR_ASSERT_MSG(ci->gid == gid, "ci->gid == gid");
        cache_move_to_head(ci);
        name = ci->name;
        if (county != nullptr)
            *county = ci->county_type & 0xFFFFF;
        if (type != nullptr)
            *type = static_cast<int>(ci->county_type >> 20);
        if (lang_out != nullptr)
            *lang_out = ci->language;
        m_road_blk = ci->position >> 16;
        m_road_offset = ci->position & 0xFFFF;
        m_road_len = -1;
        m_at_end = false;
        m_next_seg_offset = NO_SEGMENT;
        return OK;
    }

    if (read_block_by_gid(gid) != OK)
        return FAILED;
    StreetRecord rec;
    XrString text;
    if (!decode_record(m_road_offset, rec, &text))
        return FAILED;
    unsigned int pos = gid;
    if (m_version >= VERSION_6_3 && lang != 0 && rec.language != lang) {
        // The ring of the street's records in other languages.
        unsigned int link = rec.link;
        for (int steps = 0; link != NO_LINK && link != gid && steps < MAX_LINK_STEPS; ++steps) {
            StreetRecord other;
            XrString other_text;
            if (!read_block(link >> 16) || !decode_record(link & 0xFFFF, other, &other_text))
                break;
            if (other.language == lang) {
                rec = other;
                text = other_text;
                pos = link;
                break;
            }
            link = other.link;
        }
    }
    m_road_blk = pos >> 16;
    m_road_offset = pos & 0xFFFF;
    m_road_len = static_cast<int>(rec.length);
    m_at_end = false;
    set_street_state(m_road_blk, rec);

    cache_enter(gid, lang, text, rec.county | static_cast<unsigned int>(rec.type) << 20, rec.language);
    name = text;
    if (county != nullptr)
        *county = rec.county;
    if (type != nullptr)
        *type = rec.type;
    if (lang_out != nullptr)
        *lang_out = rec.language;
    return OK;
}

XrAddrAccessor::Status XrAddrAccessor::get_streets_by_gids(XrArray<XrStreetsByGidsRequest>& requests)
{
    const int n = requests.get_num_items();
    // In key order: blocks are read once each, and a repeated key is adjacent.
    XrArray<int> order(n > 0 ? n : 1);
    for (int i = 0; i < n; ++i)
        order.append(i);
    XrStreetsByGidsRequest* r = requests.get_items();
    std::stable_sort(order.get_items(), order.get_items() + n, [r](int a, int b) { return r[a].gid < r[b].gid; });
    Status status = OK;
    for (int k = 0; k < n; ++k) {
        XrStreetsByGidsRequest& q = r[order.get_items()[k]];
        if (k > 0 && r[order.get_items()[k - 1]].gid == q.gid)
            status = FAILED;
        if (q.name.is_empty() && get_street_by_gid(q.gid, q.name, nullptr, nullptr, q.language, nullptr) != OK)
            status = FAILED;
    }
    return status;
}

