// BER (ITU-T X.690) items: the tag and length octets, a record holding one
// encoded item, encoders and decoders of the universal types the system uses,
// and reading a constructed item as a list of its children.
#pragma once

#include <cstdint>

#include "common/container/xr_defs.h"

class XrByteArray;
class XrDatetime;
class XrString;

// Universal tag numbers.
enum XrBerTag {
    XR_BER_BOOLEAN = 1,
    XR_BER_INTEGER = 2,
    XR_BER_OCTET_STRING = 4,
    XR_BER_NULL = 5,
    XR_BER_UTF8_STRING = 12,
    XR_BER_SEQUENCE = 16,
    XR_BER_SET = 17,
    XR_BER_UTC_TIME = 23,
    XR_BER_GENERALIZED_TIME = 24,
    XR_BER_VISIBLE_STRING = 26,
};

// Tag classes; XR_BER_ANY_CLASS and XR_BER_ANY_FORM are wildcards of find().
enum XrBerClass {
    XR_BER_UNIVERSAL = 0,
    XR_BER_APPLICATION = 1,
    XR_BER_CONTEXT = 2,
    XR_BER_PRIVATE = 3,
    XR_BER_ANY_CLASS = 4,
};
constexpr int XR_BER_ANY_FORM = 2;

// Decoder results.
enum XrBerResult {
    XR_BER_OK = 0,
    XR_BER_MISSING = -1,     // no bytes, or no further child
    XR_BER_UNSUPPORTED = -2, // unsupported form or size
    XR_BER_DAMAGED = -3,     // a length that cannot be decoded or does not fit
};

// Octet-level helpers. Tag numbers are below 2^28, lengths fit 32 bits.
int ber_tag_size(std::uint32_t number);
// Writes the tag octets to out (room for ber_tag_size) and returns their count.
int ber_encode_tag(int cls, bool constructed, std::uint32_t number, BYTE* out);
// Decodes the tag octets among avail bytes; returns the number of octets, or
// -1 when the bytes end before the tag does or the number does not fit.
int ber_decode_tag(const BYTE* p, std::uint32_t avail, int* cls, bool* constructed, std::uint32_t* number);
int ber_length_size(std::uint32_t length);
// Writes the length octets to out (room for ber_length_size); returns their count.
int ber_encode_length(std::uint32_t length, BYTE* out);
// Decodes the length octets among avail bytes into length; returns the
// number of octets, or -1 when they are cut, use more than 4 value octets,
// or are the indefinite form (0x80), which the system never writes.
int ber_decode_length(const BYTE* p, std::uint32_t avail, std::uint32_t* length);

// The tag and length of an item.
struct XrBerHeader {
    int cls = 0;
    bool constructed = false;
    std::uint32_t tag = 0;
    std::uint32_t header_length = 0;  // tag and length octets
    std::uint32_t content_length = 0;
};

// Decodes the header of the item at p among avail bytes; false when it is
// cut or its contents run past avail.
bool ber_decode_header(const BYTE* p, std::uint32_t avail, XrBerHeader& out);
// The value of n (1 to 4) two's-complement INTEGER content octets at p.
std::int32_t ber_decode_int_content(const BYTE* p, std::uint32_t n);

// Contents of the encoders, shared by the records and the property bags.
// INTEGER: the fewest two's-complement octets (1 to 4) written to out.
int ber_int_contents(std::int32_t value, BYTE out[4]);
// GeneralizedTime text of the moment in UTC (15 characters and a terminator).
int ber_datetime_text(const XrDatetime& value, char out[32]);
// UTF-8 of the text into out (room for 3 bytes a character); characters
// beyond 16 bits become the replacement character. Returns the byte count.
std::uint32_t ber_utf8_contents(const XrString& text, BYTE* out);

// Makes room for n more bytes, at least doubling the capacity when it
// grows, so long runs of appends stay linear. False when it cannot grow.
bool ber_reserve(XrByteArray& out, int n);
// ber_reserve, then grows the array by n bytes and returns them.
BYTE* ber_append_space(XrByteArray& out, int n);

// Appending whole items to a byte array; false when the array cannot grow
// (it is then as before).
bool ber_append_item(XrByteArray& out, int cls, bool constructed, std::uint32_t tag, const BYTE* contents,
                     std::uint32_t length);
// A constructed item built in place: begin reserves room for the header and
// returns its offset; the children are appended; end writes the header and
// closes the gap. abandon drops what was appended since begin.
int ber_begin_constructed(XrByteArray& out);
bool ber_end_constructed(XrByteArray& out, int start, int cls, std::uint32_t tag);
void ber_abandon_constructed(XrByteArray& out, int start);

class XrBerRecord {
public:
    // A record over length bytes (tag, length, contents); with owns set the
    // bytes are new[]-allocated and deleted with the record.
    XrBerRecord(BYTE* data, std::uint32_t length, bool owns);
    virtual ~XrBerRecord();
    XrBerRecord(const XrBerRecord&) = delete;
    XrBerRecord& operator=(const XrBerRecord&) = delete;

    std::uint32_t get_length() const { return m_length; }
    const BYTE* get_data() const { return m_data; }
    bool owns_data() const { return m_owns; }
    // The header; false when the bytes do not hold one complete item.
    bool get_header(XrBerHeader& out) const;
    // True for an item of the class, form and tag number.
    bool is(int cls, bool constructed, std::uint32_t tag) const;

    // Encoders: new owning records.
    static XrBerRecord* create(int cls, bool constructed, std::uint32_t tag, const BYTE* contents,
                               std::uint32_t length);
    static XrBerRecord* create_bool(bool value);
    static XrBerRecord* create_int(std::int32_t value);
    static XrBerRecord* create_octet_string(const XrByteArray& bytes);
    static XrBerRecord* create_octet_string(const BYTE* bytes, std::uint32_t length);
    // The low 8 bits of each character.
    static XrBerRecord* create_octet_string(const XrString& text);
    static XrBerRecord* create_utf8_string(const XrString& text);
    // A zero-terminated narrow text without its terminator.
    static XrBerRecord* create_visible_string(const char* text);
    static XrBerRecord* create_null();
    static XrBerRecord* create_sequence();
    // GeneralizedTime "YYYYMMDDhhmmssZ" of the moment in UTC.
    static XrBerRecord* create_datetime(const XrDatetime& value);

    // Makes child the last item of the constructed parent; the child record
    // is deleted and the caller's pointer cleared.
    static void append_child(XrBerRecord* parent, XrBerRecord*& child);
    // Rewrites the tag octets; the length and contents stay.
    static void set_tag(XrBerRecord* record, std::uint32_t number, int cls, bool constructed);

    // Decoders of the contents; outputs are untouched on failure.
    int get_bool(bool& out) const;
    // Sign-extended from 1 to 4 content octets.
    int get_int(std::int32_t& out) const;
    int get_content(const BYTE** out, std::uint32_t* length) const;
    // Appends the contents to out.
    int get_content(XrByteArray& out) const;
    // UTF-8 decoding; XR_BER_UNSUPPORTED for bytes that are not UTF-8 or too long.
    int get_utf8_string(XrString& out) const;
    // GeneralizedTime (four-digit year) or UTCTime (two-digit year, 00 to 45
    // in 2000 to 2045); a UTC date-time.
    int get_datetime(XrDatetime& out) const;

    // Children of a constructed record, from the read position on.
    // read_next: XR_BER_MISSING at the end, XR_BER_DAMAGED when the next
    // child cannot be decoded or runs past this record; otherwise a new
    // record pointing into this one's bytes.
    int read_next(XrBerRecord** out);
    // The index-th (from 0) child from the read position with the tag number,
    // class (XR_BER_ANY_CLASS: any) and form (0 primitive, 1 constructed,
    // XR_BER_ANY_FORM: either). The position moves past the returned child.
    int find(std::uint32_t tag, XrBerRecord** out, int index, int cls = XR_BER_ANY_CLASS,
             int constructed = XR_BER_ANY_FORM);
    // Back to the first child.
    void rewind();
    std::uint32_t get_position() const { return m_position; }

protected:
    // Replaces the bytes (the old ones are freed when owned).
    void replace_data(BYTE* data, std::uint32_t length, bool owns);

private:
    std::uint32_t m_length;
    bool m_owns;
    BYTE* m_data;
    std::uint32_t m_position;
};

// An INTEGER item.
class XrBerIntRecord : public XrBerRecord {
public:
    explicit XrBerIntRecord(std::int32_t value);
    // The encoded value (0 when the item is damaged).
    std::int32_t get_value() const;
};
