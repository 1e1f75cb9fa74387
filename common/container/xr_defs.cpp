#include "common/container/xr_defs.h"

#include <cstdio>
#include <cstdlib>

void xr_assert_fail(const char* expression, const char* file, int line, const char* method)
{
    std::fprintf(stderr, "%s:%d: %s: Assertion `%s' failed.\n", file, line, method, expression);
    std::fflush(stderr);
    std::abort();
}
