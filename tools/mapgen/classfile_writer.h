// Writes small class files: one class with static methods of given bytecode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ClassFileMethod {
    std::string name;
    std::string desc;
    std::uint16_t access = 0x0009; // public static
    std::uint16_t max_stack = 8;
    std::uint16_t max_locals = 8;
    std::vector<std::uint8_t> code;
    struct Handler {
        std::uint16_t start, end, handler;
        std::string catch_class; // empty: any
    };
    std::vector<Handler> handlers;
};

class ClassFileWriter {
public:
    explicit ClassFileWriter(std::string name, std::string super_name = "java/lang/Object");
    // Constant-pool entries; each returns its index.
    std::uint16_t utf8(const std::string& s);
    std::uint16_t class_ref(const std::string& name);
    std::uint16_t integer(std::int32_t v);
    std::uint16_t float_const(float v);
    std::uint16_t long_const(std::int64_t v);
    std::uint16_t double_const(double v);
    std::uint16_t string(const std::string& s);
    std::uint16_t field_ref(const std::string& cls, const std::string& name, const std::string& desc);
    std::uint16_t method_ref(const std::string& cls, const std::string& name, const std::string& desc);
    void add_static_field(const std::string& name, const std::string& desc, std::uint16_t constant = 0);
    void add_method(const ClassFileMethod& m);
    void set_version(std::uint16_t major, std::uint16_t minor) { m_major = major, m_minor = minor; }
    std::vector<std::uint8_t> bytes() const;

private:
    std::uint16_t add(const std::vector<std::uint8_t>& entry, int slots = 1);
    std::uint16_t name_and_type(const std::string& name, const std::string& desc);
    std::string m_name, m_super;
    std::vector<std::vector<std::uint8_t>> m_pool;
    std::uint16_t m_next = 1;
    struct Field {
        std::uint16_t name, desc, constant;
    };
    std::vector<Field> m_fields;
    std::vector<ClassFileMethod> m_methods;
    std::uint16_t m_major = 49, m_minor = 0;
};
