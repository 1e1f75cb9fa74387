#include "common/storage/xr_gdiff.h"

#include <algorithm>
#include <climits>

#include "common/storage/xr_storageaccessor.h"

namespace {

constexpr BYTE gdiff_header[5] = {0xD1, 0xFF, 0xD1, 0xFF, 0x04};

constexpr int CMD_END = 0;
constexpr int CMD_DATA_MAX_INLINE = 246;
constexpr int CMD_COPY_LONG_POS = 255; // 64-bit positions: refused

struct XrGdiffCommand {
    int code;
    bool copy;     // COPY from the old data, else DATA from the difference
    int pos_width; // bytes of the position field (COPY only)
    int len_width; // bytes of the length field
};

const XrGdiffCommand gdiff_commands[8] = {
    {247, false, 0, 2}, {248, false, 0, 4}, {249, true, 2, 1}, {250, true, 2, 2},
    {251, true, 2, 4},  {252, true, 4, 1},  {253, true, 4, 2}, {254, true, 4, 4},
};

// Blocks are copied in pieces of at most this many bytes.
constexpr std::uint32_t copy_piece = 65536;

class XrGdiffApplier {
public:
    XrGdiffApplier(XrStorageAccessor* old, XrStorageAccessor* diff, XrStorageAccessor* out, bool keep_output,
                   XrGdiffProgress progress, void* user_data)
        : m_old(old), m_diff(diff), m_out(out), m_keep(keep_output), m_progress(progress), m_user(user_data)
    {
    }

    bool run()
    {
        BYTE hdr[sizeof(gdiff_header)];
        if (!read(m_diff, 0, sizeof(hdr), hdr) || !std::equal(hdr, hdr + sizeof(hdr), gdiff_header))
            return false;
        if (!m_keep && m_out->set_size(0) != XrStorageAccessor::OK)
            return false;
        std::uint32_t in = sizeof(gdiff_header);
        const std::uint32_t diff_size = m_diff->get_size();
        while (in < diff_size) {
            BYTE code;
            if (!read(m_diff, in, 1, &code))
                return false;
            ++in;
            if (code == CMD_END)
                return true;
            if (code == CMD_COPY_LONG_POS)
                return false;
            if (code <= CMD_DATA_MAX_INLINE) {
                if (!copy(m_diff, in, code))
                    return false;
                in += code;
                continue;
            }
            const XrGdiffCommand& c = gdiff_commands[code - 247];
            BYTE fields[8];
            const int width = c.pos_width + c.len_width;
            if (!read(m_diff, in, static_cast<std::uint32_t>(width), fields))
                return false;
            in += static_cast<std::uint32_t>(width);
            std::uint32_t length = read_be(fields + c.pos_width, c.len_width);
            if (c.copy) {
                if (!copy(m_old, read_be(fields, c.pos_width), length))
                    return false;
            } else {
                if (!copy(m_diff, in, length))
                    return false;
                in += length; // inside the difference, checked by copy
            }
        }
        return false; // no end command: the difference was cut short
    }

private:
    static bool read(XrStorageAccessor* a, std::uint32_t offset, std::uint32_t length, BYTE* dst)
    {
        const BYTE* p = nullptr;
        bool ok = a->get_ptr(offset, length, &p) == XrStorageAccessor::OK;
        if (ok)
            std::copy(p, p + length, dst);
        a->release_ptr(p);
        return ok;
    }

    // Appends length bytes from pos of src to the target.
    bool copy(XrStorageAccessor* src, std::uint32_t pos, std::uint32_t length)
    {
        if (src == nullptr || static_cast<std::uint64_t>(pos) + length > src->get_size() ||
            static_cast<std::uint64_t>(m_pos) + length > UINT32_MAX)
            return false;
        while (length > 0) {
            const std::uint32_t n = std::min(length, copy_piece);
            const BYTE* p = nullptr;
            bool ok = src->get_ptr(pos, n, &p) == XrStorageAccessor::OK &&
                      (m_keep || m_out->set_size(m_pos + n) == XrStorageAccessor::OK) &&
                      m_out->write(m_pos, n, p) == XrStorageAccessor::OK;
            if (ok && m_progress != nullptr)
                m_progress(p, n, m_user);
            src->release_ptr(p);
            if (!ok)
                return false;
            pos += n;
            m_pos += n;
            length -= n;
        }
        return true;
    }

    XrStorageAccessor* m_old;
    XrStorageAccessor* m_diff;
    XrStorageAccessor* m_out;
    bool m_keep;
    XrGdiffProgress m_progress;
    void* m_user;
    std::uint32_t m_pos = 0; // output position
};

} // namespace

bool apply_gdiff(XrStorageAccessor* old, XrStorageAccessor* diff, XrStorageAccessor* out, bool keep_output,
                 XrGdiffProgress progress, void* user_data)
{
    if (diff == nullptr || out == nullptr)
        return false;
    return XrGdiffApplier(old, diff, out, keep_output, progress, user_data).run();
}

unsigned int read_be(const BYTE* p, int n)
{
    unsigned int v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | p[i];
    return v;
}

void write_be(BYTE* p, unsigned int value, int n)
{
    for (int i = n - 1; i >= 0; --i) {
        p[i] = static_cast<BYTE>(value);
        value >>= 8;
    }
}
