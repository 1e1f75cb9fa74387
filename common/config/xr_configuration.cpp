#include "common/config/xr_configuration.h"

XrConfiguration::~XrConfiguration()
{
    delete m_key_stack;
}

XrConfiguration::Status XrConfiguration::push_key()
{
    if (m_key_stack == nullptr)
        m_key_stack = new XrArray<XrString>(5, 5);
    if (m_key_depth < m_key_stack->get_num_items())
        *m_key_stack->get_item_ptr(m_key_depth) = m_current_key;
    else if (!m_key_stack->append(m_current_key))
        return FAILED;
    ++m_key_depth;
    return OK;
}

XrConfiguration::Status XrConfiguration::pop_key()
{
    if (m_key_depth == 0)
        return FAILED;
    --m_key_depth;
    XrString* top = m_key_stack->get_item_ptr(m_key_depth);
    m_current_key = *top;
    top->clear();
    return OK;
}

bool XrConfiguration::get_state_flag()
{
    return m_state_flag;
}

const TCHAR* XrConfiguration::get_current_key()
{
    return m_current_key.c_str();
}

namespace {

// get_string without a default, then the text converted; the default when
// the value is missing; FAILED when there is neither.
template <class T, class Convert>
XrConfiguration::Status typed_read(XrConfiguration& c, const TCHAR* name, T* out, const T* default_value,
                                   Convert convert)
{
    XrString text;
    XrConfiguration::Status s = c.get_string(name, text);
    if (s == XrConfiguration::OK) {
        *out = convert(text.c_str());
        return XrConfiguration::OK;
    }
    if (s == XrConfiguration::NOT_FOUND && default_value != nullptr) {
        *out = *default_value;
        return XrConfiguration::OK;
    }
    return XrConfiguration::FAILED;
}

} // namespace

XrConfiguration::Status XrConfiguration::get_int(const TCHAR* name, int* out, const int* default_value)
{
    return typed_read(*this, name, out, default_value, wide_atoi);
}

XrConfiguration::Status XrConfiguration::get_bool(const TCHAR* name, bool* out, const bool* default_value)
{
    return typed_read(*this, name, out, default_value, [](const TCHAR* t) { return wide_atoi(t) != 0; });
}

XrConfiguration::Status XrConfiguration::get_double(const TCHAR* name, double* out, const double* default_value)
{
    return typed_read(*this, name, out, default_value, wide_atof);
}

XrConfiguration::Status XrConfiguration::set_int(const TCHAR* name, int value)
{
    TCHAR buf[16];
    wide_snprintf(buf, 16, L"%d", value);
    return set_string(name, buf);
}

XrConfiguration::Status XrConfiguration::set_bool(const TCHAR* name, bool value)
{
    return set_int(name, value ? 1 : 0);
}

XrConfiguration::Status XrConfiguration::set_double(const TCHAR* name, double value)
{
    // Room for every finite double in fixed notation (309 integer digits).
    TCHAR buf[400];
    wide_snprintf(buf, 400, L"%lf", value);
    return set_string(name, buf);
}

XrConfiguration::Status XrConfiguration::create_key_path(const TCHAR* path)
{
    if (open_key(path) == OK)
        return OK;
    Status s = open_key(L"\\");
    if (s != OK)
        return s;
    const TCHAR* p = path != nullptr ? path : L"";
    while (*p != 0) {
        const TCHAR* end = p;
        while (*end != 0 && *end != L'\\')
            ++end;
        if (end > p) {
            XrString piece(p, static_cast<int>(end - p));
            s = create_key(piece.c_str());
            if (s != OK && s != EXISTS)
                return s;
            s = open_key(piece.c_str());
            if (s != OK)
                return s;
        }
        p = *end != 0 ? end + 1 : end;
    }
    return OK;
}
