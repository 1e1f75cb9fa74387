#include "apps/services/xr_trafficinfo.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "apps/services/xr_service.h"
#include "apps/services/xr_trafficdatalayout.h"
#include "apps/services/xr_trafficpenalty.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"
#include "common/os/xr_file.h"
#include "common/storage/xr_gdiff.h"
#include "common/storage/xr_storageaccessor.h"

namespace L = xr_trafficdata_layout;

namespace {

// A text of at most max one-byte characters, up to the first NUL.
XrString short_text(const BYTE* p, std::size_t max)
{
    TCHAR text[8] = {};
    for (std::size_t i = 0; i < max && i < 7 && p[i] != 0; ++i)
        text[i] = static_cast<TCHAR>(p[i]);
    return XrString(text);
}

bool file_exists(const XrString& path)
{
    return get_file_size(path) >= 0;
}

} // namespace

// ---------------------------------------------------------------- records

XrString XrTrafficInfoParams::table_text(std::uint16_t table)
{
    XrString text;
    text.format(16, L"%X%02d", (table >> 8) & 15, table & 255);
    if (text.length() > 3)
        text.truncate(3);
    return text;
}

std::unique_ptr<XrTrafficInfoParams> XrTrafficInfoParams::decode(const BYTE* bytes, std::size_t length,
                                                                 bool with_names)
{
    XrByteCursor c(bytes, length);
    auto p = std::make_unique<XrTrafficInfoParams>();
    p->created_tick = get_tick_count_ms();
    p->event_id = c.u32_le();
    c.skip(1); // revision
    p->flags = c.u8();
    p->start_time = c.u32_le();
    p->end_time = c.u32_le();
    const std::size_t k = c.u8();
    const BYTE* name = c.take(k);
    if (!c.ok())
        return nullptr;
    if (with_names && k > 0) {
        if (name[k - 1] != 0)
            return nullptr;
        if (!XrUTF8::decode_utf8(name, static_cast<int>(k - 1), p->name))
            p->name = XrString(L"NA");
    }
    const unsigned int items = c.u8();
    if (!c.ok() || items > L::MAX_ITEMS)
        return nullptr;
    for (unsigned int i = 0; i < items; ++i) {
        p->kinds.push_back(c.u8());
        p->event_codes.push_back(c.u16_le());
        p->item_flags.push_back(c.u8());
        const BYTE* unit = c.take(1);
        if (unit == nullptr)
            return nullptr;
        if (unit[0] == 0) {
            p->units.push_back(XrString());
            p->quantities.push_back(0.0f);
            continue;
        }
        c.skip(L::UNIT_TEXT_SIZE - 1);
        const std::uint32_t raw = c.u32_le();
        if (!c.ok())
            return nullptr;
        p->units.push_back(short_text(unit, 3));
        p->quantities.push_back(static_cast<float>(raw / L::QUANTITY_SCALE));
    }
    const unsigned int n = c.u16_le();
    if (!c.ok())
        return nullptr;
    if ((p->flags & L::FLAG_TMC) != 0) {
        if (n > 0) {
            p->tmc_table = table_text(c.u16_le());
            for (unsigned int i = 0; i < n; ++i)
                p->tmc_codes.push_back(c.u16_le());
            if (!c.ok())
                return nullptr;
        }
        if (c.has(8)) {
            p->xs.push_back(c.u32_le());
            p->ys.push_back(c.u32_le());
        }
    } else if ((p->flags & L::FLAG_COORDINATES) != 0) {
        for (unsigned int i = 0; i < n; ++i) {
            const std::uint32_t x = c.u32_le();
            const std::uint32_t y = c.u32_le();
            if (!c.ok())
                return nullptr;
            p->xs.push_back(x);
            p->ys.push_back(y);
        }
    }
    return p;
}

// ---------------------------------------------------------------- index

bool XrTrafficInfoData::parse(const BYTE* content, std::size_t length, XrTrafficPenalty* penalty, bool load_all)
{
    if (length <= L::HEADER_SIZE)
        return true;
    std::size_t off = L::HEADER_SIZE;
    while (off < length) {
        if (length - off < L::SECTION_HEAD_SIZE)
            return false;
        const BYTE type = content[off];
        const std::size_t size = xr_bytes::get_u32_le(content + off + 1);
        const std::size_t start = off + L::SECTION_HEAD_SIZE;
        if (size > length - start)
            return false;
        XrByteCursor c(content + start, size);
        if (type == L::SECTION_PENALTY) {
            if (penalty != nullptr)
                penalty->clear_section();
            const BYTE* limits = c.take(L::PENALTY_LIMITS_SIZE);
            const unsigned int rows = c.u8();
            const BYTE* row_bytes = c.take(rows * L::CLASS_ROW_SIZE);
            const unsigned int mults = c.u8();
            const BYTE* mult_bytes = c.take(mults * L::MULTIPLIER_ROW_SIZE);
            if (!c.ok())
                return false;
            if (penalty != nullptr) {
                penalty->set_limits(limits[0], limits[1], limits[2]);
                for (unsigned int i = 0; i < rows; ++i) {
                    const BYTE* r = row_bytes + i * L::CLASS_ROW_SIZE;
                    penalty->add_class_row(r[0], r[1], r[2]);
                }
                for (unsigned int i = 0; i < mults; ++i) {
                    const BYTE* m = mult_bytes + i * L::MULTIPLIER_ROW_SIZE;
                    penalty->add_multiplier(m[0], m[1], m[2], m[3]);
                }
            }
        } else if (type == L::SECTION_INDEX) {
            if (size < L::INDEX_HEAD_SIZE)
                return false;
            country = short_text(content + start, 3);
            const std::size_t count = xr_bytes::get_u16_le(content + start + L::COUNTRY_TEXT_SIZE);
            index.clear();
            index.reserve(count);
            cache.clear();
            events.clear();
            std::size_t pos = L::INDEX_HEAD_SIZE;
            while (pos < size) {
                if (size - pos < L::ENTRY_LENGTH_SIZE)
                    return false;
                const std::size_t entry = xr_bytes::get_u16_le(content + start + pos);
                // Shorter than its length, id and revision: not an entry.
                if (entry < L::MIN_ENTRY_LENGTH || entry > size - pos)
                    return false;
                const BYTE* record = content + start + pos + L::ENTRY_LENGTH_SIZE;
                const std::size_t record_length = entry - L::ENTRY_LENGTH_SIZE;
                XrTrafficInfoEvent event;
                event.event_id = xr_bytes::get_u32_le(record + L::REC_EVENT_ID);
                event.revision = record[L::REC_REVISION];
                events.push_back(event);
                XrTrafficInfoBlockRec block;
                block.offset = static_cast<std::uint32_t>(start + pos + L::ENTRY_LENGTH_SIZE);
                block.length = static_cast<std::uint16_t>(record_length);
                index[event.event_id] = block;
                if (load_all) {
                    std::unique_ptr<XrTrafficInfoParams> params =
                        XrTrafficInfoParams::decode(record, record_length, false);
                    if (!params)
                        return false;
                    put(std::move(params), true);
                }
                pos += entry;
            }
        }
        off = start + size;
    }
    return true;
}

bool XrTrafficInfoData::find_block(std::uint32_t id, XrTrafficInfoBlockRec& out) const
{
    auto it = index.find(id);
    if (it == index.end())
        return false;
    out = it->second;
    return true;
}

XrTrafficInfoParams* XrTrafficInfoData::cached(std::uint32_t id) const
{
    auto it = cache.find(id);
    return it != cache.end() ? it->second.params.get() : nullptr;
}

XrTrafficInfoParams* XrTrafficInfoData::put(std::unique_ptr<XrTrafficInfoParams> params, bool load_all)
{
    const std::uint32_t id = params->event_id;
    cache.erase(id);
    if (!load_all) {
        while (cache.size() >= CACHE_LIMIT) {
            auto oldest = std::min_element(cache.begin(), cache.end(), [](const auto& a, const auto& b) {
                return a.second.serial < b.second.serial;
            });
            cache.erase(oldest);
        }
    }
    XrTrafficInfoParams* raw = params.get();
    cache[id] = Cached{std::move(params), next_serial++};
    return raw;
}

// ---------------------------------------------------------------- file

XrTrafficInfoFile::XrTrafficInfoFile(const XrString& path_, XrTrafficPenalty* penalty_)
    : path(path_), marker_path(path_ + L".wd"), penalty(penalty_)
{
}

XrTrafficInfoFile::~XrTrafficInfoFile() = default;

bool XrTrafficInfoFile::load()
{
    BYTE* bytes = nullptr;
    int size = 0;
    if (!file_exists(path))
        return false;
    if (file_exists(marker_path)) {
        // A load that never ended: the file is not trusted.
        delete_file(path);
        delete_file(marker_path);
        return false;
    }
    {
        XrFile marker;
        marker.create(marker_path, true);
    }
    bool ok = false;
    if (read_whole_file(path, &bytes, &size, 0)) {
        ok = data->parse(bytes, static_cast<std::size_t>(size), penalty, load_all);
        delete[] bytes;
    }
    delete_file(marker_path);
    if (file_exists(marker_path))
        delete_file(marker_path);
    return ok;
}

bool XrTrafficInfoFile::parse()
{
    if (data)
        return true;
    data = std::make_unique<XrTrafficInfoData>();
    if (!load()) {
        discard();
        return false;
    }
    return true;
}

void XrTrafficInfoFile::set_load_all(bool value)
{
    load_all = value;
    if (value) {
        data.reset();
        parse();
    } else if (data) {
        data->clear_cache();
    }
}

std::uint32_t XrTrafficInfoFile::get_header_value() const
{
    XrFile file;
    if (file.open_existing(path, true) != XrFile::OK)
        return 0;
    BYTE head[L::HEADER_SIZE];
    if (file.read(0, L::HEADER_SIZE, head) != XrFile::OK)
        return 0;
    return xr_bytes::get_u32_le(head);
}

bool XrTrafficInfoFile::get_file_status(std::int64_t& size, std::time_t& modified) const
{
    std::string native;
    struct stat st;
    if (!to_platform_path(path, true, native) || ::stat(native.c_str(), &st) != 0)
        return false;
    size = st.st_size;
    modified = st.st_mtime;
    return true;
}

void XrTrafficInfoFile::touch()
{
    touch_file(path);
}

int XrTrafficInfoFile::get_event_count()
{
    parse();
    return data ? static_cast<int>(data->get_events().size()) : 0;
}

bool XrTrafficInfoFile::get_event(int index, std::uint32_t& id, std::uint8_t& revision)
{
    parse();
    if (!data || index < 0 || static_cast<std::size_t>(index) >= data->get_events().size())
        return false;
    id = data->get_events()[static_cast<std::size_t>(index)].event_id;
    revision = data->get_events()[static_cast<std::size_t>(index)].revision;
    return true;
}

XrTrafficInfoParams* XrTrafficInfoFile::get_record(std::uint32_t id, bool with_names)
{
    parse();
    if (!data)
        return nullptr;
    if (XrTrafficInfoParams* hit = data->cached(id)) {
        if (!with_names || !hit->name.is_empty())
            return hit;
        data->drop(id); // decoded without its name: again, with it
    }
    XrTrafficInfoBlockRec block;
    if (!data->find_block(id, block))
        return nullptr;
    XrFile file;
    if (file.open_existing(path, true) != XrFile::OK)
        return nullptr;
    std::vector<BYTE> bytes(block.length);
    if (block.length > 0 && file.read(block.offset, block.length, bytes.data()) != XrFile::OK)
        return nullptr;
    std::unique_ptr<XrTrafficInfoParams> params = XrTrafficInfoParams::decode(bytes.data(), bytes.size(), with_names);
    if (!params)
        return nullptr;
    return data->put(std::move(params), false);
}

void XrTrafficInfoFile::release_record(std::uint32_t id)
{
    if (data && !load_all)
        data->drop(id);
}

bool XrTrafficInfoFile::apply_update(const BYTE* old_bytes, std::size_t old_length, const BYTE* diff,
                                     std::size_t diff_length, const XrString* digest, std::vector<BYTE>& out)
{
    XrMemoryStorageAccessor old_content(true, const_cast<BYTE*>(old_bytes), static_cast<std::uint32_t>(old_length),
                                        false);
    XrMemoryStorageAccessor difference(true, const_cast<BYTE*>(diff), static_cast<std::uint32_t>(diff_length),
                                       false);
    XrByteArrayAccessor fresh;
    if (!apply_gdiff(&old_content, &difference, &fresh, false, nullptr, nullptr))
        return false;
    XrByteArray* content = fresh.get_array();
    const BYTE* bytes = content != nullptr ? content->get_items() : nullptr;
    const std::size_t size = content != nullptr ? static_cast<std::size_t>(content->get_num_items()) : 0;
    if (digest != nullptr && !XrServiceHelper::check_md5_hex(bytes, size, *digest))
        return false;
    out.assign(bytes, bytes + size);
    return true;
}

bool XrTrafficInfoFile::update(const BYTE* diff, std::size_t diff_length, const XrString* digest)
{
    BYTE* old_bytes = nullptr;
    int old_size = 0;
    if (file_exists(path) && !read_whole_file(path, &old_bytes, &old_size, 0))
        return false; // the file is there but unreadable: keep it
    std::unique_ptr<BYTE[]> old_owner(old_bytes);
    std::vector<BYTE> content;
    if (!apply_update(old_bytes, static_cast<std::size_t>(old_size), diff, diff_length, digest, content))
        return false;
    // Verified: it replaces the old file in one rename.
    if (!write_whole_file(path, content.data(), static_cast<int>(content.size())))
        return false;
    data = std::make_unique<XrTrafficInfoData>();
    if (!data->parse(content.data(), content.size(), penalty, load_all)) {
        discard();
        return false;
    }
    return true;
}

void XrTrafficInfoFile::discard()
{
    delete_file(path);
    data.reset();
}
