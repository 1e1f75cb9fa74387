// Layout of the generated character tables (kounicode_ucd_general.cpp).
#pragma once

#include <cstdint>

struct KoCaseSingle16 { std::uint16_t from, to; };
struct KoCaseRange16 { std::uint16_t first, last, delta; };
struct KoCaseSingle32 { std::int32_t from, to; };
struct KoCaseRange32 { std::int32_t first, last, delta; };
struct KoCaseTables {
    const KoCaseSingle16* bmp_singles; int bmp_single_count;
    const KoCaseRange16* bmp_ranges; int bmp_range_count;
    const KoCaseSingle32* sup_singles; int sup_single_count;
    const KoCaseRange32* sup_ranges; int sup_range_count;
};
struct KoRange16 { std::uint16_t first, last; };
struct KoCategoryTable {
    const std::uint16_t* singles; int single_count;
    const KoRange16* ranges; int range_count;
};
struct KoNumericRow { std::int32_t first, last, value; };

extern const KoCaseTables ko_unicode_lower_tables;
extern const KoCaseTables ko_unicode_upper_tables;
extern const KoCategoryTable ko_unicode_categories[30];
extern const KoNumericRow ko_unicode_numeric[];
extern const int ko_unicode_numeric_count;
