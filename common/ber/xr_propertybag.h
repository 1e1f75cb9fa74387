// Property bags: typed, multi-valued dictionaries with integer keys,
// serialised as a BER SET of key / value pairs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_array.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"
#include "common/types/xr_datetime.h"

class XrBerRecord;
class XrStorageAccessor;

class XrPropertyBagValue {
public:
    enum Type {
        TYPE_BOOL = 0,
        TYPE_INT = 1,
        TYPE_DOUBLE = 2,
        TYPE_STRING = 3,
        TYPE_DATETIME = 4,
        TYPE_BLOB = 5,
        TYPE_BAG = 6,
    };

    explicit XrPropertyBagValue(int type) : m_type(type) {}
    virtual ~XrPropertyBagValue() = default;
    XrPropertyBagValue(const XrPropertyBagValue&) = delete;
    XrPropertyBagValue& operator=(const XrPropertyBagValue&) = delete;

    // An estimate of the encoded size in bytes.
    virtual std::size_t get_encoded_size() const = 0;
    // A new record of the value's BER item; null when it cannot be made.
    virtual XrBerRecord* to_ber() const;
    // Appends the value's BER item; false when it cannot be made (nothing
    // is appended then).
    virtual bool append_ber(XrByteArray& out) const = 0;

    int get_type() const { return m_type; }

protected:
    int m_type;
};

class XrPropertyBagValueBool : public XrPropertyBagValue {
public:
    explicit XrPropertyBagValueBool(bool value) : XrPropertyBagValue(TYPE_BOOL), m_value(value) {}
    std::size_t get_encoded_size() const override { return 1; }
    bool append_ber(XrByteArray& out) const override;
    bool get() const { return m_value; }

private:
    bool m_value;
};

class XrPropertyBagValueInt : public XrPropertyBagValue {
public:
    explicit XrPropertyBagValueInt(std::int32_t value) : XrPropertyBagValue(TYPE_INT), m_value(value) {}
    std::size_t get_encoded_size() const override { return 4; }
    bool append_ber(XrByteArray& out) const override;
    std::int32_t get() const { return m_value; }

private:
    std::int32_t m_value;
};

// Written as a VisibleString: "%f" when that text gives the value back
// exactly, otherwise the shortest text that does.
class XrPropertyBagValueDouble : public XrPropertyBagValue {
public:
    explicit XrPropertyBagValueDouble(double value) : XrPropertyBagValue(TYPE_DOUBLE), m_value(value) {}
    std::size_t get_encoded_size() const override { return 10; }
    bool append_ber(XrByteArray& out) const override;
    double get() const { return m_value; }

    // The text of a value (at most 31 characters and a terminator); returns
    // its length.
    static int format(double value, char text[32]);
    // Reads a text written by format (or any plain decimal number); false
    // when it is not a number.
    static bool parse(const BYTE* text, std::size_t length, double& out);

private:
    double m_value;
};

class XrPropertyBagValueString : public XrPropertyBagValue {
public:
    explicit XrPropertyBagValueString(const XrString& value) : XrPropertyBagValue(TYPE_STRING), m_value(value) {}
    std::size_t get_encoded_size() const override { return static_cast<std::size_t>(m_value.length()) * 4; }
    bool append_ber(XrByteArray& out) const override;
    const XrString& get() const { return m_value; }

private:
    XrString m_value;
};

class XrPropertyBagValueDatetime : public XrPropertyBagValue {
public:
    explicit XrPropertyBagValueDatetime(const XrDatetime& value)
        : XrPropertyBagValue(TYPE_DATETIME), m_value(value)
    {
    }
    std::size_t get_encoded_size() const override { return 15; }
    bool append_ber(XrByteArray& out) const override;
    const XrDatetime& get() const { return m_value; }

private:
    XrDatetime m_value;
};

// Owns its byte array.
class XrPropertyBagValueBlob : public XrPropertyBagValue {
public:
    explicit XrPropertyBagValueBlob(XrByteArray* value) : XrPropertyBagValue(TYPE_BLOB), m_value(value) {}
    ~XrPropertyBagValueBlob() override { delete m_value; }
    std::size_t get_encoded_size() const override
    {
        return m_value != nullptr ? static_cast<std::size_t>(m_value->get_num_items()) : 0;
    }
    bool append_ber(XrByteArray& out) const override;
    const XrByteArray* get() const { return m_value; }
    // Hands the array to the caller; the value holds none afterwards.
    XrByteArray* detach()
    {
        XrByteArray* a = m_value;
        m_value = nullptr;
        return a;
    }

private:
    XrByteArray* m_value;
};

class XrPropertyBag : public XrPropertyBagValue {
public:
    enum Result {
        OK = 0,
        WRONG_TYPE = -2,
        NOT_FOUND = -3,
        NULL_VALUE = -4,
        NULL_INPUT = -6,
        NOT_STORED = -7,
        NOT_DECODABLE = -9,
    };

    // Nested bags deeper than this are not decoded.
    static constexpr int max_decode_depth = 32;

    XrPropertyBag();
    ~XrPropertyBag() override;

    // Appends a value under the key; the bag owns it from then on (also
    // when it cannot be stored: it is deleted then).
    int add_value(int key, XrPropertyBagValue* value);
    int add_bool(int key, bool value);
    int add_int(int key, std::int32_t value);
    int add_double(int key, double value);
    int add_string(int key, const XrString& value);
    int add_datetime(int key, const XrDatetime& value);
    // Takes ownership of the array / the nested bag.
    int add_blob(int key, XrByteArray* value);
    int add_bag(int key, XrPropertyBag* value);

    int get_value_count(int key) const;

    // Typed reads of the index-th value (from 0) of the key. With remove set
    // the value is taken out of the bag.
    int get_bool(int key, int index, bool& out, bool remove = false);
    int get_int(int key, int index, std::int32_t& out, bool remove = false);
    int get_double(int key, int index, double& out, bool remove = false);
    int get_string(int key, int index, XrString& out, bool remove = false);
    int get_datetime(int key, int index, XrDatetime& out, bool remove = false);
    // Copies the bytes into out (a new array when out is null). With remove
    // set and out null, the stored array itself is handed over.
    int get_blob(int key, int index, XrByteArray*& out, bool remove = false);
    // The nested bag, still owned by this bag; with remove set it is taken
    // out and the caller owns it.
    int get_bag(int key, int index, XrPropertyBag*& out, bool remove = false);
    // The value object itself (owned by the bag).
    int get_value(int key, int index, XrPropertyBagValue*& out);

    std::size_t get_encoded_size() const override;
    bool append_ber(XrByteArray& out) const override;
    // Appends the BER bytes of the bag.
    int encode(XrByteArray& out) const;
    // Empties the bag and reads it from the start of the storage.
    int decode(XrStorageAccessor* input);
    // Empties the bag and reads it from a SET or SEQUENCE record.
    int decode_record(XrBerRecord* record);

    // Deletes every value; the bag is then without a key table.
    void free_values();

private:
    typedef XrArray<XrPropertyBagValue*> ValueList;

    ValueList* values_of(int key) const;
    // The value at key and index when it has the type (NOT_FOUND /
    // WRONG_TYPE otherwise); with remove set it is unlinked from the bag.
    int take(int key, int index, int type, bool remove, XrPropertyBagValue*& out);
    int decode_children(XrBerRecord* record, int depth);
    int decode_value(int key, XrBerRecord* item, int depth);

    XrHash<int, ValueList*>* m_table = nullptr;
};
