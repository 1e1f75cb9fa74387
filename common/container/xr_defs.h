// Basic types and the fatal assertion shared by every component.
#pragma once

#include <cstddef>
#include <cstdint>

typedef wchar_t TCHAR;
typedef std::uint8_t BYTE;

// Reports a failed assertion on stderr as
//   "<file>:<line>: <method>: Assertion `<expression>' failed."
// and aborts the process. Used for programming errors and inconsistent
// internal state, never for outside data.
[[noreturn]] void xr_assert_fail(const char* expression, const char* file, int line, const char* method);

#define XR_ASSERT(expr) \
    ((expr) ? static_cast<void>(0) : xr_assert_fail(#expr, __FILE__, __LINE__, __PRETTY_FUNCTION__))

// Like XR_ASSERT but with the expression text given explicitly (for the
// messages that name a condition other than the code's own).
#define XR_ASSERT_MSG(expr, text) \
    ((expr) ? static_cast<void>(0) : xr_assert_fail(text, __FILE__, __LINE__, __PRETTY_FUNCTION__))
