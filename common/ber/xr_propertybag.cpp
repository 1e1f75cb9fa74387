#include "common/ber/xr_propertybag.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "common/ber/xr_berreader.h"
#include "common/ber/xr_berrecord.h"

namespace {

// How a value item was taken.
enum DecodeResult {
    DECODED = 0,
    LEFT_OUT = 1,  // a nested bag that could not be decoded: skipped
    UNDECODABLE = 2,
    TOO_DEEP = 3,  // nesting beyond max_decode_depth: the whole decode fails
};

bool is_universal(const XrBerHeader& h, bool constructed, std::uint32_t tag)
{
    return h.cls == XR_BER_UNIVERSAL && h.constructed == constructed && h.tag == tag;
}

} // namespace

// ------------------------------------------------------------ values

XrBerRecord* XrPropertyBagValue::to_ber() const
{
    XrByteArray bytes(static_cast<int>(get_encoded_size() < 1024 ? get_encoded_size() + 16 : 1024), 0);
    if (!append_ber(bytes))
        return nullptr;
    const std::uint32_t n = static_cast<std::uint32_t>(bytes.get_num_items());
    BYTE* data = new BYTE[n];
    std::memcpy(data, bytes.get_items(), n);
    return new XrBerRecord(data, n, true);
}

bool XrPropertyBagValueBool::append_ber(XrByteArray& out) const
{
    const BYTE b = m_value ? 0xFF : 0x00;
    return ber_append_item(out, XR_BER_UNIVERSAL, false, XR_BER_BOOLEAN, &b, 1);
}

bool XrPropertyBagValueInt::append_ber(XrByteArray& out) const
{
    BYTE b[4];
    const int n = ber_int_contents(m_value, b);
    return ber_append_item(out, XR_BER_UNIVERSAL, false, XR_BER_INTEGER, b, static_cast<std::uint32_t>(n));
}

int XrPropertyBagValueDouble::format(double value, char text[32])
{
    // "%f" without the locale's decimal separator; when six decimals lose
    // part of the value (or the text would be long), the shortest text that
    // reads back exactly.
    std::to_chars_result r = std::to_chars(text, text + 31, value, std::chars_format::fixed, 6);
    if (r.ec == std::errc() && r.ptr - text <= 20) {
        double back;
        const std::from_chars_result b = std::from_chars(text, r.ptr, back);
        if (b.ec == std::errc() && (back == value || std::isnan(value))) {
            *r.ptr = 0;
            return static_cast<int>(r.ptr - text);
        }
    }
    r = std::to_chars(text, text + 31, value);
    XR_ASSERT(r.ec == std::errc());
    *r.ptr = 0;
    return static_cast<int>(r.ptr - text);
}

bool XrPropertyBagValueDouble::parse(const BYTE* text, std::size_t length, double& out)
{
    const char* begin = reinterpret_cast<const char*>(text);
    const char* end = begin + length;
    // A terminator written along with the text ends it.
    const char* nul = static_cast<const char*>(std::memchr(begin, 0, length));
    if (nul != nullptr)
        end = nul;
    if (begin != end && *begin == '+')
        ++begin;
    double v;
    const std::from_chars_result r = std::from_chars(begin, end, v);
    if (r.ec != std::errc() || r.ptr != end)
        return false;
    out = v;
    return true;
}

bool XrPropertyBagValueDouble::append_ber(XrByteArray& out) const
{
    char text[32];
    const int n = format(m_value, text);
    return ber_append_item(out, XR_BER_UNIVERSAL, false, XR_BER_VISIBLE_STRING, reinterpret_cast<const BYTE*>(text),
                           static_cast<std::uint32_t>(n));
}

bool XrPropertyBagValueString::append_ber(XrByteArray& out) const
{
    const int start = out.get_num_items();
    const int room = 3 * m_value.length();
    // Header (1 + 5) and the contents written in place, then moved down.
    BYTE* p = ber_append_space(out, 6 + room);
    if (p == nullptr)
        return false;
    const std::uint32_t n = ber_utf8_contents(m_value, p + 6);
    const int t = ber_encode_tag(XR_BER_UNIVERSAL, false, XR_BER_UTF8_STRING, p);
    const int head = t + ber_encode_length(n, p + t);
    std::memmove(p + head, p + 6, n);
    out.remove_range(start + head + static_cast<int>(n), out.get_num_items() - start - head - static_cast<int>(n));
    return true;
}

bool XrPropertyBagValueDatetime::append_ber(XrByteArray& out) const
{
    char text[32];
    const int n = ber_datetime_text(m_value, text);
    return ber_append_item(out, XR_BER_UNIVERSAL, false, XR_BER_GENERALIZED_TIME,
                           reinterpret_cast<const BYTE*>(text), static_cast<std::uint32_t>(n));
}

bool XrPropertyBagValueBlob::append_ber(XrByteArray& out) const
{
    if (m_value == nullptr)
        return ber_append_item(out, XR_BER_UNIVERSAL, false, XR_BER_OCTET_STRING, nullptr, 0);
    return ber_append_item(out, XR_BER_UNIVERSAL, false, XR_BER_OCTET_STRING, m_value->get_items(),
                           static_cast<std::uint32_t>(m_value->get_num_items()));
}

// ------------------------------------------------------------ XrPropertyBag

XrPropertyBag::XrPropertyBag() : XrPropertyBagValue(TYPE_BAG) {}

XrPropertyBag::~XrPropertyBag()
{
    free_values();
}

void XrPropertyBag::free_values()
{
    if (m_table == nullptr)
        return;
    XrHash<int, ValueList*>::XrHashIterator it(*m_table);
    while (XrHash<int, ValueList*>::XrHashSlot* slot = it.get_next()) {
        ValueList* list = slot->value;
        if (list == nullptr)
            continue;
        for (int i = 0; i < list->get_num_items(); ++i)
            delete *list->get_item_ptr(i);
        list->remove_all();
        delete list;
        slot->value = nullptr;
    }
    delete m_table;
    m_table = nullptr;
}

XrPropertyBag::ValueList* XrPropertyBag::values_of(int key) const
{
    if (m_table == nullptr)
        return nullptr;
    ValueList* list = nullptr;
    return m_table->find(key, list) ? list : nullptr;
}

int XrPropertyBag::add_value(int key, XrPropertyBagValue* value)
{
    if (value == nullptr)
        return NULL_VALUE;
    if (m_table == nullptr)
        m_table = new (std::nothrow) XrHash<int, ValueList*>(10, true, 80);
    ValueList* list = values_of(key);
    if (list == nullptr && m_table != nullptr) {
        list = new (std::nothrow) ValueList(10, 0);
        if (list != nullptr && !m_table->insert(key, list)) {
            delete list;
            list = nullptr;
        }
    }
    if (list == nullptr || !list->append(value)) {
        delete value;
        return NOT_STORED;
    }
    return OK;
}

int XrPropertyBag::add_bool(int key, bool value)
{
    return add_value(key, new (std::nothrow) XrPropertyBagValueBool(value));
}

int XrPropertyBag::add_int(int key, std::int32_t value)
{
    return add_value(key, new (std::nothrow) XrPropertyBagValueInt(value));
}

int XrPropertyBag::add_double(int key, double value)
{
    return add_value(key, new (std::nothrow) XrPropertyBagValueDouble(value));
}

int XrPropertyBag::add_string(int key, const XrString& value)
{
    return add_value(key, new (std::nothrow) XrPropertyBagValueString(value));
}

int XrPropertyBag::add_datetime(int key, const XrDatetime& value)
{
    return add_value(key, new (std::nothrow) XrPropertyBagValueDatetime(value));
}

int XrPropertyBag::add_blob(int key, XrByteArray* value)
{
    if (value == nullptr)
        return NULL_VALUE;
    XrPropertyBagValueBlob* blob = new (std::nothrow) XrPropertyBagValueBlob(value);
    if (blob == nullptr) {
        delete value;
        return NOT_STORED;
    }
    return add_value(key, blob);
}

int XrPropertyBag::add_bag(int key, XrPropertyBag* value)
{
    if (value == this)
        return NOT_STORED;
    return add_value(key, value);
}

int XrPropertyBag::get_value_count(int key) const
{
    ValueList* list = values_of(key);
    return list != nullptr ? list->get_num_items() : 0;
}

int XrPropertyBag::take(int key, int index, int type, bool remove, XrPropertyBagValue*& out)
{
    ValueList* list = values_of(key);
    if (list == nullptr || index < 0 || index >= list->get_num_items())
        return NOT_FOUND;
    XrPropertyBagValue* v = *list->get_item_ptr(index);
    if (v->get_type() != type)
        return WRONG_TYPE;
    if (remove)
        list->remove_item(index);
    out = v;
    return OK;
}

int XrPropertyBag::get_value(int key, int index, XrPropertyBagValue*& out)
{
    ValueList* list = values_of(key);
    if (list == nullptr || index < 0 || index >= list->get_num_items())
        return NOT_FOUND;
    out = *list->get_item_ptr(index);
    return OK;
}

// The typed reads share one shape: take the value, copy it out, delete it
// when it was removed.
#define XR_BAG_GET(method, out_type, value_class, type)                                 \
    int XrPropertyBag::method(int key, int index, out_type& out, bool remove)          \
    {                                                                                  \
        XrPropertyBagValue* v = nullptr;                                               \
        const int r = take(key, index, type, remove, v);                               \
        if (r != OK)                                                                   \
            return r;                                                                  \
        out = static_cast<value_class*>(v)->get();                                     \
        if (remove)                                                                    \
            delete v;                                                                  \
        return OK;                                                                     \
    }

XR_BAG_GET(get_bool, bool, XrPropertyBagValueBool, TYPE_BOOL)
XR_BAG_GET(get_int, std::int32_t, XrPropertyBagValueInt, TYPE_INT)
XR_BAG_GET(get_double, double, XrPropertyBagValueDouble, TYPE_DOUBLE)
XR_BAG_GET(get_string, XrString, XrPropertyBagValueString, TYPE_STRING)
XR_BAG_GET(get_datetime, XrDatetime, XrPropertyBagValueDatetime, TYPE_DATETIME)

#undef XR_BAG_GET

int XrPropertyBag::get_blob(int key, int index, XrByteArray*& out, bool remove)
{
    XrPropertyBagValue* v = nullptr;
    int r = take(key, index, TYPE_BLOB, false, v);
    if (r != OK)
        return r;
    XrPropertyBagValueBlob* blob = static_cast<XrPropertyBagValueBlob*>(v);
    if (remove && out == nullptr) {
        out = blob->detach();
        if (out == nullptr)
            out = new XrByteArray();
    } else {
        XrByteArray* target = out != nullptr ? out : new (std::nothrow) XrByteArray();
        const XrByteArray* stored = blob->get();
        if (target == nullptr ||
            !target->set(stored != nullptr ? stored->get_items() : nullptr, stored != nullptr ? stored->get_num_items() : 0)) {
            if (target != out)
                delete target;
            return NOT_STORED;
        }
        out = target;
    }
    if (remove) {
        take(key, index, TYPE_BLOB, true, v);
        delete v;
    }
    return OK;
}

int XrPropertyBag::get_bag(int key, int index, XrPropertyBag*& out, bool remove)
{
    XrPropertyBagValue* v = nullptr;
    const int r = take(key, index, TYPE_BAG, remove, v);
    if (r == OK)
        out = static_cast<XrPropertyBag*>(v);
    return r;
}

// ------------------------------------------------------------ encoding

std::size_t XrPropertyBag::get_encoded_size() const
{
    std::size_t size = 0;
    if (m_table == nullptr)
        return size;
    XrHash<int, ValueList*>::XrHashIterator it(*m_table);
    while (XrHash<int, ValueList*>::XrHashSlot* slot = it.get_next()) {
        for (int i = 0; i < slot->value->get_num_items(); ++i)
            size += (*slot->value->get_item_ptr(i))->get_encoded_size() + 9;
    }
    return size;
}

bool XrPropertyBag::append_ber(XrByteArray& out) const
{
    const int start = ber_begin_constructed(out);
    if (start < 0)
        return false;
    if (m_table != nullptr) {
        XrHash<int, ValueList*>::XrHashIterator it(*m_table);
        while (XrHash<int, ValueList*>::XrHashSlot* slot = it.get_next()) {
            ValueList* list = slot->value;
            const int n = list->get_num_items();
            if (n == 0)
                continue;
            BYTE key[4];
            const int key_len = ber_int_contents(slot->key, key);
            if (!ber_append_item(out, XR_BER_UNIVERSAL, false, XR_BER_INTEGER, key, static_cast<std::uint32_t>(key_len))) {
                ber_abandon_constructed(out, start);
                return false;
            }
            if (n == 1) {
                if (!(*list->get_item_ptr(0))->append_ber(out)) {
                    ber_abandon_constructed(out, start);
                    return false;
                }
                continue;
            }
            const int seq = ber_begin_constructed(out);
            if (seq < 0) {
                ber_abandon_constructed(out, start);
                return false;
            }
            for (int i = 0; i < n; ++i)
                (*list->get_item_ptr(i))->append_ber(out); // a value that cannot be made is left out
            ber_end_constructed(out, seq, XR_BER_UNIVERSAL, XR_BER_SEQUENCE);
        }
    }
    return ber_end_constructed(out, start, XR_BER_UNIVERSAL, XR_BER_SET);
}

int XrPropertyBag::encode(XrByteArray& out) const
{
    const std::size_t estimate = get_encoded_size();
    if (estimate < static_cast<std::size_t>(INT32_MAX / 2))
        ber_reserve(out, static_cast<int>(estimate));
    return append_ber(out) ? OK : NOT_STORED;
}

// ------------------------------------------------------------ decoding

int XrPropertyBag::decode(XrStorageAccessor* input)
{
    if (input == nullptr)
        return NULL_INPUT;
    free_values();
    XrBerReader reader(input);
    XrBerRecord* record = nullptr;
    if (reader.read_record(&record) != XrBerReader::OK)
        return NOT_DECODABLE;
    const int r = decode_record(record);
    delete record;
    return r;
}

int XrPropertyBag::decode_record(XrBerRecord* record)
{
    if (record == nullptr)
        return NULL_INPUT;
    free_values();
    if (m_table == nullptr)
        m_table = new (std::nothrow) XrHash<int, ValueList*>(10, true, 80);
    XrBerHeader h;
    if (!record->get_header(h) || !(is_universal(h, true, XR_BER_SET) || is_universal(h, true, XR_BER_SEQUENCE)))
        return NOT_DECODABLE;
    record->rewind();
    return decode_children(record, 0) == DECODED ? OK : NOT_DECODABLE;
}

// Reads the key / value pairs of a SET or SEQUENCE into this bag.
int XrPropertyBag::decode_children(XrBerRecord* record, int depth)
{
    int key = 0;
    for (;;) {
        XrBerRecord* first = nullptr;
        int r = record->read_next(&first);
        if (r == XR_BER_MISSING)
            return DECODED;
        if (r != XR_BER_OK)
            return UNDECODABLE;
        XrBerHeader h;
        first->get_header(h);
        if (is_universal(h, false, XR_BER_INTEGER)) {
            std::int32_t k;
            if (first->get_int(k) != XR_BER_OK) {
                delete first;
                return UNDECODABLE;
            }
            key = k;
        }
        delete first;
        XrBerRecord* value = nullptr;
        if (record->read_next(&value) != XR_BER_OK)
            return UNDECODABLE; // a key without a value
        r = decode_value(key, value, depth);
        delete value;
        if (r == UNDECODABLE || r == TOO_DEEP)
            return r;
    }
}

int XrPropertyBag::decode_value(int key, XrBerRecord* item, int depth)
{
    XrBerHeader h;
    if (!item->get_header(h) || h.cls != XR_BER_UNIVERSAL)
        return UNDECODABLE;
    if (h.constructed) {
        if (h.tag != XR_BER_SET && h.tag != XR_BER_SEQUENCE)
            return UNDECODABLE;
        if (depth >= max_decode_depth)
            return TOO_DEEP;
        if (h.tag == XR_BER_SET) {
            XrPropertyBag* nested = new (std::nothrow) XrPropertyBag();
            if (nested == nullptr)
                return UNDECODABLE;
            nested->m_table = new (std::nothrow) XrHash<int, ValueList*>(10, true, 80);
            const int r = nested->decode_children(item, depth + 1);
            if (r == TOO_DEEP) {
                delete nested;
                return TOO_DEEP;
            }
            if (r != DECODED) {
                delete nested;
                return LEFT_OUT;
            }
            return add_value(key, nested) == OK ? DECODED : UNDECODABLE;
        }
        // Several values under one key; an undecodable one ends the list.
        for (;;) {
            XrBerRecord* child = nullptr;
            if (item->read_next(&child) != XR_BER_OK)
                return DECODED;
            const int r = decode_value(key, child, depth + 1);
            delete child;
            if (r == TOO_DEEP)
                return TOO_DEEP;
            if (r == UNDECODABLE)
                return DECODED;
        }
    }
    XrPropertyBagValue* v = nullptr;
    switch (h.tag) {
    case XR_BER_BOOLEAN: {
        bool b;
        if (item->get_bool(b) == XR_BER_OK)
            v = new (std::nothrow) XrPropertyBagValueBool(b);
        break;
    }
    case XR_BER_INTEGER: {
        std::int32_t i;
        if (item->get_int(i) == XR_BER_OK)
            v = new (std::nothrow) XrPropertyBagValueInt(i);
        break;
    }
    case XR_BER_OCTET_STRING: {
        XrByteArray* bytes = new (std::nothrow) XrByteArray(h.content_length > 0 ? static_cast<int>(h.content_length) : 1, 0);
        if (bytes != nullptr && item->get_content(*bytes) == XR_BER_OK)
            v = new (std::nothrow) XrPropertyBagValueBlob(bytes);
        else
            delete bytes;
        break;
    }
    case XR_BER_GENERALIZED_TIME:
    case XR_BER_UTC_TIME: {
        XrDatetime t(0);
        if (item->get_datetime(t) == XR_BER_OK)
            v = new (std::nothrow) XrPropertyBagValueDatetime(t);
        break;
    }
    case XR_BER_UTF8_STRING: {
        XrString s;
        if (item->get_utf8_string(s) == XR_BER_OK)
            v = new (std::nothrow) XrPropertyBagValueString(s);
        break;
    }
    case XR_BER_VISIBLE_STRING: {
        const BYTE* p;
        std::uint32_t n;
        double d;
        if (item->get_content(&p, &n) == XR_BER_OK && XrPropertyBagValueDouble::parse(p, n, d))
            v = new (std::nothrow) XrPropertyBagValueDouble(d);
        break;
    }
    default:
        break;
    }
    if (v == nullptr)
        return UNDECODABLE;
    return add_value(key, v) == OK ? DECODED : UNDECODABLE;
}
