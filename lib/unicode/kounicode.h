// Character properties, UTF-8 coding and IEEE 754 helpers of the toolkit.
#pragma once

#include <cstddef>
#include <cstdint>

struct KoBuffer;

// mapping 0: lower case, 1: upper case.
std::int32_t ko_unicode_to_case(std::int32_t c, int mapping);
bool ko_unicode_in_category(std::int32_t c, int category);
int ko_unicode_category(std::int32_t c);
// -1: no value; -2: not a whole number.
int ko_unicode_numeric_value(std::int32_t c);

std::int32_t ko_utf8_decode(const unsigned char* bytes, std::size_t length, int* seq_len);
bool ko_utf8_check(const unsigned char* bytes, std::size_t length, std::int32_t max_code_point, std::size_t* count);
int ko_utf8_encode(std::int32_t c, unsigned char* buffer, std::size_t capacity);
bool ko_utf8_append(KoBuffer* buffer, std::int32_t c);
char* ko_utf8_to_8bit(const unsigned char* bytes, std::size_t length, char substitute, std::size_t* count);

double ko_double_from_int(std::int64_t i);
float ko_float_from_int(std::int32_t i);
double ko_double_positive_infinity();
double ko_double_negative_infinity();
double ko_double_nan();
float ko_float_positive_infinity();
float ko_float_negative_infinity();
float ko_float_nan();
bool ko_double_is_nan(double x);
bool ko_double_is_infinite(double x);
bool ko_float_is_nan(float x);
bool ko_float_is_infinite(float x);
void ko_double_to_bytes(double x, unsigned char out[8]);
double ko_double_from_bytes(const unsigned char in[8]);
void ko_float_to_bytes(float x, unsigned char out[4]);
float ko_float_from_bytes(const unsigned char in[4]);
