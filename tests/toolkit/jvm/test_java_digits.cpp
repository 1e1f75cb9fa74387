// The digit generator behind Double.toString and Float.toString, called
// directly: values Java prints with known digits, and a zero mantissa (which
// the VM never passes) answered at once instead of looping.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "toolkit/javart/javart_natives.h"

namespace {

TEST(JavaDigits, DigitsAndDecimalPoint)
{
    struct Case {
        std::uint64_t mant;
        int e2, ulp_e2, precision;
        const char* digits;
        int decpt;
    } cases[] = {
        {1, 0, -52, 53, "1", 1},          // 1.0
        {3, -1, -52, 53, "15", 1},        // 1.5
        {1, 10, -42, 53, "1024", 4},      // 1024.0
        {0, 0, -52, 53, "0", 1},          // zero
    };
    for (const Case& c : cases) {
        char digits[32] = {};
        int decpt = 0;
        const int n = ko_jvm_java_digits(c.mant, c.e2, c.ulp_e2, c.precision, digits, &decpt);
        EXPECT_EQ(std::string(digits, n), c.digits) << c.mant << "*2^" << c.e2;
        EXPECT_EQ(decpt, c.decpt) << c.mant << "*2^" << c.e2;
    }
}

} // namespace
