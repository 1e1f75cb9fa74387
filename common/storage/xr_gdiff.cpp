#include "common/storage/xr_gdiff.h"

#include <algorithm>
#include <climits>

#include "common/container/xr_bytes.h"
#include "common/storage/xr_gdifflayout.h"
#include "common/storage/xr_storageaccessor.h"

using namespace xr_gdiff_layout;

namespace {

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
        BYTE hdr[HEADER_SIZE];
        if (!read(m_diff, 0, sizeof(hdr), hdr) || !std::equal(MAGIC, MAGIC + sizeof MAGIC, hdr) ||
            hdr[sizeof MAGIC] != FORMAT_VERSION)
            return false;
        if (!m_keep && m_out->set_size(0) != XrStorageAccessor::OK)
            return false;
        std::uint32_t in = HEADER_SIZE;
        const std::uint32_t diff_size = m_diff->get_size();
        while (in < diff_size) {
            BYTE code;
            if (!read(m_diff, in, 1, &code))
                return false;
            ++in;
            if (code == CMD_END)
                return true;
            if (code == CMD_COPY_LONG_POS) // 64-bit positions: refused
                return false;
            if (code <= CMD_DATA_MAX_INLINE) {
                if (!copy(m_diff, in, code))
                    return false;
                in += code;
                continue;
            }
            const XrGdiffCommand& c = COMMANDS[code - CMD_FIRST_WITH_FIELDS];
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
        XrStorageBytes b;
        if (!b.read(a, offset, length))
            return false;
        std::copy(b.get(), b.get() + length, dst);
        return true;
    }

    // Appends length bytes from pos of src to the target.
    bool copy(XrStorageAccessor* src, std::uint32_t pos, std::uint32_t length)
    {
        if (src == nullptr || static_cast<std::uint64_t>(pos) + length > src->get_size() ||
            static_cast<std::uint64_t>(m_pos) + length > UINT32_MAX)
            return false;
        while (length > 0) {
            const std::uint32_t n = std::min(length, copy_piece);
            XrStorageBytes b;
            if (!b.read(src, pos, n) || (!m_keep && m_out->set_size(m_pos + n) != XrStorageAccessor::OK) ||
                m_out->write(m_pos, n, b.get()) != XrStorageAccessor::OK)
                return false;
            if (m_progress != nullptr)
                m_progress(b.get(), n, m_user);
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
    switch (n) {
    case 1:
        return p[0];
    case 2:
        return xr_bytes::get_u16_be(p);
    case 3:
        return xr_bytes::get_u24_be(p);
    case 4:
        return xr_bytes::get_u32_be(p);
    default:
        return 0;
    }
}

void write_be(BYTE* p, unsigned int value, int n)
{
    xr_bytes::put_be(p, value, n);
}
