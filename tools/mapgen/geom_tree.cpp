#include "tools/mapgen/geom_tree.h"

#include <cstdio>

#include "common/db/xr_geomfilelayout.h"

namespace {

std::string record_error(size_t index, const char* what)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "record %zu: ", index + 1);
    return buf + std::string(what);
}

const char* kind_name(int kind)
{
    static const char* const names[] = {"mixed", "point", "polyline", "polygon", "text", "mixed"};
    return kind >= 0 && kind <= 5 ? names[kind] : "unknown";
}

// Whether the type survives the type bytes of the options.
bool type_fits(int type, bool polypoint, bool has_attr, const XrGeomFileOptions& o)
{
    switch (o.type_width) {
    case 0:
        return type == o.default_type;
    case 1:
        if (polypoint)
            return type <= (o.attr_count != 0 ? 0x7F : 0xFF);
        return type <= (o.attr_count != 0 ? 0x3F : 0x7F);
    default:
        if (polypoint)
            return type <= (o.attr_count != 0 ? 0x7FFF : 0xFFFF);
        (void)has_attr;
        return type <= (o.attr_count != 0 ? 0x3FFF : 0x7FFF);
    }
}

bool aux_fits(int aux, const XrGeomFileOptions& o)
{
    switch (o.aux_width) {
    case 0:
        return aux == o.default_aux;
    case 1:
        return aux >= 0 && aux <= 510 && aux % 2 == 0;
    default:
        return true;
    }
}

struct Builder {
    const std::vector<XrRectangle>& boxes;
    const std::vector<int>& sizes;
    int bucket_bytes;
    std::vector<XrGeomTreeNode>& nodes;
    std::string& error;

    long long total(const std::vector<int>& ids) const
    {
        long long n = 0;
        for (int i : ids)
            n += sizes[i];
        return n;
    }

    XrRectangle box_of(const std::vector<int>& ids) const
    {
        XrRectangle b = boxes[ids[0]];
        for (int i : ids) {
            const XrRectangle& r = boxes[i];
            b = XrRectangle(r.left < b.left ? r.left : b.left, r.top < b.top ? r.top : b.top,
                            r.right > b.right ? r.right : b.right, r.bottom > b.bottom ? r.bottom : b.bottom);
        }
        return b;
    }

    // Builds the subtree of the records ids inside cell; returns its node.
    int build(long long left, long long top, long long right, long long bottom, std::vector<int> ids, int parent,
              int depth)
    {
        int index = static_cast<int>(nodes.size());
        nodes.emplace_back();
        nodes[index].parent = parent;
        nodes[index].box = box_of(ids);
        if (total(ids) <= bucket_bytes) {
            nodes[index].records = std::move(ids);
            return index;
        }
        if (depth >= XR_GEOM_TREE_MAX_DEPTH) {
            error = "too many records at one place for the bucket size";
            return -1;
        }
        bool splittable = right - left >= 2 || bottom - top >= 2;
        long long cx = left + (right - left) / 2;
        long long cy = top + (bottom - top) / 2;
        std::vector<int> own;
        std::vector<int> quads[4];
        for (int i : ids) {
            const XrRectangle& b = boxes[i];
            int qx = b.right <= cx ? 0 : (b.left > cx ? 1 : -1);
            int qy = b.bottom <= cy ? 0 : (b.top > cy ? 1 : -1);
            if (splittable && qx >= 0 && qy >= 0)
                quads[qy * 2 + qx].push_back(i);
            else
                own.push_back(i);
        }
        // Records across the split lines stay here while the bucket has
        // room; the others go down by their centres (a loose child box), or
        // into a chain below when the cell cannot be split any more.
        long long own_size = total(own);
        while (own.size() > 1 && own_size > bucket_bytes) {
            int i = own.back();
            own.pop_back();
            own_size -= sizes[i];
            int q = 0;
            if (splittable) {
                const XrRectangle& b = boxes[i];
                long long mx = (static_cast<long long>(b.left) + b.right) / 2;
                long long my = (static_cast<long long>(b.top) + b.bottom) / 2;
                q = (my > cy ? 2 : 0) + (mx > cx ? 1 : 0);
            }
            quads[q].push_back(i);
        }
        nodes[index].records = std::move(own);
        for (int q = 0; q < 4; ++q) {
            if (quads[q].empty())
                continue;
            long long l = left, t = top, r = right, b = bottom;
            if (splittable) {
                if (q & 1)
                    l = cx + 1;
                else
                    r = cx;
                if (q & 2)
                    t = cy + 1;
                else
                    b = cy;
            }
            int child = build(l, t, r, b, std::move(quads[q]), index, depth + 1);
            if (child < 0)
                return -1;
            nodes[index].children[q] = child;
        }
        return index;
    }
};

} // namespace

bool XrGeomTreeNode::has_children() const
{
    return children[0] >= 0 || children[1] >= 0 || children[2] >= 0 || children[3] >= 0;
}

XrRecDataOption xr_record_options(const XrGeomFileOptions& options)
{
    XrRecDataOption o;
    o.with_id = options.with_id ? 1 : 0;
    o.three_byte_coords = options.three_byte_coords ? 1 : 0;
    o.attr_count = static_cast<unsigned int>(options.attr_count);
    o.aux_width = options.aux_width;
    o.type_width = options.type_width;
    return o;
}

bool xr_check_geom_records(const std::vector<XrGeomRec*>& records, XrGeomFileOptions& options, std::string& error)
{
    const XrGeomFileOptions& o = options;
    const char* problem = nullptr;
    if (o.version < 0x10004 || o.version > 0x10007)
        problem = "version must be 0x10004 to 0x10007";
    else if (o.kind < 0 || o.kind > 5)
        problem = "kind must be 1 to 5";
    else if (o.aux_width < 0 || o.aux_width > 2 || o.type_width < 0 || o.type_width > 2)
        problem = "aux and type widths are 0, 1 or 2";
    else if (o.default_type < 0 || o.default_type > 255 || o.default_aux < -32768 || o.default_aux > 32767)
        problem = "default type 0 to 255, default aux a 16-bit value";
    else if (o.attr_count < 0 || o.attr_count > 255)
        problem = "attribute count 0 to 255";
    else if (o.bucket_bytes < 64 || o.bucket_bytes > 65533)
        problem = "bucket size 64 to 65533 bytes";
    if (problem != nullptr) {
        error = problem;
        return false;
    }

    XrRecDataOption ro = xr_record_options(o);
    int common = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        XrGeomRec* r = records[i];
        int kind = r->get_rec_type();
        bool polypoint = kind == XrGeomStorage::RecPolyline || kind == XrGeomStorage::RecPolygon;
        if (dynamic_cast<XrLabelLineGeomRec*>(r) != nullptr) {
            error = record_error(i, "label lines cannot be stored");
            return false;
        }
        if (o.with_id && (r->id < -(1 << 29) || r->id >= (1 << 29))) {
            error = record_error(i, "ids take 30 bits (-536870912 to 536870911)");
            return false;
        }
        if (polypoint && o.version == 0x10004) {
            error = record_error(i, "version 0x10004 files hold points and texts only");
            return false;
        }
        if (!type_fits(r->type, polypoint, r->get_attributes() != nullptr, o)) {
            error = record_error(i, "the type does not fit the type width");
            return false;
        }
        int aux = 0;
        if (XrPointGeomRec* p = dynamic_cast<XrPointGeomRec*>(r))
            aux = p->aux;
        else if (XrTextGeomRec* t = dynamic_cast<XrTextGeomRec*>(r))
            aux = t->aux;
        if (!polypoint && !aux_fits(aux, o)) {
            error = record_error(i, o.aux_width == 1 ? "aux width 1 holds even values 0 to 510"
                                                     : "aux differs from the default aux");
            return false;
        }
        XrTextGeomRec* text = dynamic_cast<XrTextGeomRec*>(r);
        if (text != nullptr && text->text.length() >= XrGeomCursor::TEXT_BUFFER_CHARS) {
            error = record_error(i, "texts take at most 511 characters");
            return false;
        }
        int size = r->size_in_bytes(ro, XrPoint(0, 0));
        if (size < 0) {
            error = record_error(i, polypoint ? "needs 1 to 4095 points within the coded coordinate range"
                                              : "coordinates outside the coded range");
            return false;
        }
        if (size > o.bucket_bytes) {
            error = record_error(i, "larger than a bucket");
            return false;
        }
        if (o.kind >= 1 && o.kind <= 4 && kind != o.kind) {
            error = record_error(i, "is a ") + kind_name(kind) + " in a file of " + kind_name(o.kind) + "s";
            return false;
        }
        if (common == 0)
            common = kind;
        else if (common != kind)
            common = 5;
    }
    if (options.kind == 0)
        options.kind = common == 0 ? 1 : common;
    if (options.kind == 5 && !options.with_id) {
        error = "mixed records need ids";
        return false;
    }
    return true;
}

bool xr_build_geom_tree(const std::vector<XrRectangle>& boxes, const std::vector<int>& sizes, int bucket_bytes,
                        std::vector<XrGeomTreeNode>& nodes, std::string& error)
{
    nodes.clear();
    if (boxes.empty()) {
        nodes.emplace_back();
        return true;
    }
    std::vector<int> all(boxes.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int>(i);
    Builder b{boxes, sizes, bucket_bytes, nodes, error};
    XrRectangle box = b.box_of(all);
    return b.build(box.left, box.top, box.right, box.bottom, std::move(all), -1, 0) == 0;
}

bool xr_append_record(const std::vector<XrGeomRec*>& records, int index, const XrRecDataOption& options,
                      const XrPoint& origin, XrByteArray& bucket, XrHash<XrPoint, int>* first_points,
                      const int* format_words, int format_word_count, std::string& error)
{
    int pos = bucket.get_num_items();
    XrGeomStorage::XrRecordType kind;
    if (!records[index]->get_blob(options, origin, kind, bucket, first_points, pos, format_words,
                                  format_word_count)) {
        error = record_error(static_cast<size_t>(index), "cannot be coded");
        return false;
    }
    if (options.with_id) {
        BYTE& top = bucket.get_items()[pos + xrqt::ID_KIND_BYTE];
        top = static_cast<BYTE>((top & ((1 << xrqt::ID_KIND_SHIFT) - 1)) | (kind - 1) << xrqt::ID_KIND_SHIFT);
    }
    return true;
}

void xr_put_geom_coding(XrByteWriter& w, const XrGeomFileOptions& options)
{
    w.u8(static_cast<BYTE>(options.aux_width));
    w.u16_le(static_cast<std::uint16_t>(options.default_aux));
    w.u8(static_cast<BYTE>(options.type_width));
    w.u8(static_cast<BYTE>(options.default_type));
    w.u8(static_cast<BYTE>((options.with_id ? xrqt::coding::FLAG_IDS : 0) |
                           (options.three_byte_coords ? xrqt::coding::FLAG_THREE_BYTE_COORDS : 0)));
    w.u8(static_cast<BYTE>(options.attr_count));
}

bool xr_write_file(const std::string& path, const std::vector<BYTE>& bytes, std::string& error)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out != nullptr)
        ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::remove(path.c_str());
        error = "cannot write " + path;
    }
    return ok;
}

bool xr_write_file_atomic(const std::string& path, const std::vector<BYTE>& bytes, std::string& error)
{
    const std::string tmp = path + ".tmp";
    if (!xr_write_file(tmp, bytes, error))
        return false;
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        error = "cannot replace " + path;
        return false;
    }
    return true;
}
