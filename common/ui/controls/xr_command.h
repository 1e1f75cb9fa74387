// The value objects with which a dialog describes one of its commands (a
// button or menu entry): identifier, two texts, a type and state flags. The
// dialog turns them into buttons whose response identifier is the command's
// identifier.
#pragma once

#include "common/container/xr_string.h"

class XrCommandBase {
public:
    // Not valid until set(); identifier and data are left unset.
    XrCommandBase() = default;
    XrCommandBase(const int& id, const XrString& text, const XrString& secondary)
        : m_id(id), m_text(text), m_secondary(secondary), m_data(0), m_valid(true)
    {
    }
    XrCommandBase(const int& id, const XrString& text, const XrString& secondary, int data)
        : m_id(id), m_text(text), m_secondary(secondary), m_data(data), m_valid(true)
    {
    }
    virtual ~XrCommandBase() = default;

    // Assigns the three and makes the command valid; data is kept.
    void set(const int& id, const XrString& text, const XrString& secondary)
    {
        m_id = id;
        m_text = text;
        m_secondary = secondary;
        m_valid = true;
    }

    int get_id() const { return m_id; }
    const XrString& get_text() const { return m_text; }
    const XrString& get_secondary_text() const { return m_secondary; }
    int get_data() const { return m_data; }
    bool is_valid() const { return m_valid; }

private:
    int m_id = 0;
    XrString m_text;
    XrString m_secondary;
    int m_data = 0;
    bool m_valid = false;
};

class XrCommand : public XrCommandBase {
public:
    // Carried unchanged to the dialog implementation, which does not read it.
    typedef int CommandType;
    static constexpr CommandType DEFAULT_TYPE = 5;

    XrCommand() = default;
    XrCommand(const int& id, const XrString& text, const XrString& secondary) : XrCommandBase(id, text, secondary) {}
    XrCommand(const int& id, const XrString& text, const XrString& secondary, CommandType type, int parameter)
        : XrCommandBase(id, text, secondary), m_type(type), m_parameter(parameter)
    {
    }

    CommandType get_type() const { return m_type; }
    void set_type(CommandType type) { m_type = type; }
    int get_parameter() const { return m_parameter; }
    void set_parameter(int parameter) { m_parameter = parameter; }
    int get_value() const { return m_value; }
    void set_value(int value) { m_value = value; }
    bool is_disabled() const { return m_disabled; }
    void set_disabled(bool disabled) { m_disabled = disabled; }
    bool is_available() const { return m_available; }
    void set_available(bool available) { m_available = available; }
    int get_extra() const { return m_extra; }
    void set_extra(int extra) { m_extra = extra; }

    // Available and not disabled.
    bool is_enabled() const { return m_available && !m_disabled; }

private:
    CommandType m_type = DEFAULT_TYPE;
    int m_parameter = 0;
    int m_value = 0;
    bool m_disabled = false;
    bool m_available = true;
    int m_extra = 0;
};
