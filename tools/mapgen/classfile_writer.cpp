#include "tools/mapgen/classfile_writer.h"

#include "common/container/xr_bytes.h"
#include "toolkit/jvm/kojvm_classfile.h"

#include <cstring>

ClassFileWriter::ClassFileWriter(std::string name, std::string super_name)
    : m_name(std::move(name)), m_super(std::move(super_name))
{
}

std::uint16_t ClassFileWriter::add(const std::vector<std::uint8_t>& entry, int slots)
{
    for (std::size_t i = 0, index = 1; i < m_pool.size(); ++i) {
        if (m_pool[i] == entry)
            return static_cast<std::uint16_t>(index);
        index += (m_pool[i][0] == 5 || m_pool[i][0] == 6) ? 2 : 1;
    }
    m_pool.push_back(entry);
    std::uint16_t at = m_next;
    m_next = static_cast<std::uint16_t>(m_next + slots);
    return at;
}

std::uint16_t ClassFileWriter::utf8(const std::string& s)
{
    XrByteWriter w;
    w.u8(1);
    w.be(s.size(), 2);
    w.bytes().insert(w.bytes().end(), s.begin(), s.end());
    return add(w.take());
}
std::uint16_t ClassFileWriter::class_ref(const std::string& name)
{
    std::uint16_t n = utf8(name);
    return add({7, std::uint8_t(n >> 8), std::uint8_t(n)});
}
std::uint16_t ClassFileWriter::integer(std::int32_t v)
{
    XrByteWriter w;
    w.u8(3);
    w.be(std::uint32_t(v), 4);
    return add(w.take());
}
std::uint16_t ClassFileWriter::float_const(float v)
{
    std::uint32_t b;
    std::memcpy(&b, &v, 4);
    XrByteWriter w;
    w.u8(4);
    w.be(b, 4);
    return add(w.take());
}
std::uint16_t ClassFileWriter::long_const(std::int64_t v)
{
    XrByteWriter w;
    w.u8(5);
    w.be(std::uint64_t(v), 8);
    return add(w.take(), 2);
}
std::uint16_t ClassFileWriter::double_const(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, 8);
    XrByteWriter w;
    w.u8(6);
    w.be(b, 8);
    return add(w.take(), 2);
}
std::uint16_t ClassFileWriter::string(const std::string& s)
{
    std::uint16_t n = utf8(s);
    return add({8, std::uint8_t(n >> 8), std::uint8_t(n)});
}
std::uint16_t ClassFileWriter::name_and_type(const std::string& name, const std::string& desc)
{
    std::uint16_t n = utf8(name), d = utf8(desc);
    return add({12, std::uint8_t(n >> 8), std::uint8_t(n), std::uint8_t(d >> 8), std::uint8_t(d)});
}
std::uint16_t ClassFileWriter::field_ref(const std::string& cls, const std::string& name, const std::string& desc)
{
    std::uint16_t c = class_ref(cls), nt = name_and_type(name, desc);
    return add({9, std::uint8_t(c >> 8), std::uint8_t(c), std::uint8_t(nt >> 8), std::uint8_t(nt)});
}
std::uint16_t ClassFileWriter::method_ref(const std::string& cls, const std::string& name, const std::string& desc)
{
    std::uint16_t c = class_ref(cls), nt = name_and_type(name, desc);
    return add({10, std::uint8_t(c >> 8), std::uint8_t(c), std::uint8_t(nt >> 8), std::uint8_t(nt)});
}
void ClassFileWriter::add_static_field(const std::string& name, const std::string& desc, std::uint16_t constant)
{
    m_fields.push_back({utf8(name), utf8(desc), constant});
    if (constant)
        utf8("ConstantValue");
}
void ClassFileWriter::add_method(const ClassFileMethod& m)
{
    utf8(m.name);
    utf8(m.desc);
    utf8("Code");
    for (const auto& h : m.handlers)
        if (!h.catch_class.empty())
            class_ref(h.catch_class);
    m_methods.push_back(m);
}

std::vector<std::uint8_t> ClassFileWriter::bytes() const
{
    ClassFileWriter& self = const_cast<ClassFileWriter&>(*this);
    std::uint16_t this_class = self.class_ref(m_name);
    std::uint16_t super_class = self.class_ref(m_super);
    XrByteWriter w;
    w.be(kojvm_classfile::kMagic, 4);
    w.be(m_minor, 2);
    w.be(m_major, 2);
    w.be(m_next, 2);
    for (const auto& e : m_pool)
        w.bytes().insert(w.bytes().end(), e.begin(), e.end());
    w.be(0x0021, 2);
    w.be(this_class, 2);
    w.be(super_class, 2);
    w.be(0, 2);
    w.be(m_fields.size(), 2);
    for (const Field& f : m_fields) {
        w.be(0x0019, 2);
        w.be(f.name, 2);
        w.be(f.desc, 2);
        w.be(f.constant ? 1 : 0, 2);
        if (f.constant) {
            w.be(self.utf8("ConstantValue"), 2);
            w.be(2, 4);
            w.be(f.constant, 2);
        }
    }
    w.be(m_methods.size(), 2);
    for (const ClassFileMethod& m : m_methods) {
        w.be(m.access, 2);
        w.be(self.utf8(m.name), 2);
        w.be(self.utf8(m.desc), 2);
        if (m.access & 0x0500) { // native or abstract: no code
            w.be(0, 2);
            continue;
        }
        w.be(1, 2);
        w.be(self.utf8("Code"), 2);
        w.be(12 + m.code.size() + 8 * m.handlers.size(), 4);
        w.be(m.max_stack, 2);
        w.be(m.max_locals, 2);
        w.be(m.code.size(), 4);
        w.bytes().insert(w.bytes().end(), m.code.begin(), m.code.end());
        w.be(m.handlers.size(), 2);
        for (const auto& h : m.handlers) {
            w.be(h.start, 2);
            w.be(h.end, 2);
            w.be(h.handler, 2);
            w.be(h.catch_class.empty() ? 0 : self.class_ref(h.catch_class), 2);
        }
        w.be(0, 2);
    }
    w.be(0, 2);
    return w.take();
}
