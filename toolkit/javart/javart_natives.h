// Helpers shared by the class library's native methods.
#pragma once

#include "toolkit/jvm/kojvm_internal.h"

#define KO_NATIVE(name)                                                                                          \
    void name(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmCat1ValueUnion* self, KoJvmCat1ValueUnion* args,          \
              KoJvmCompletion complete, KoJvmThread* thread, void* data)
#define KO_UNUSED_NATIVE_ARGS (void)vm, (void)clazz, (void)self, (void)args, (void)complete, (void)thread, (void)data

inline void ko_ret_void(KoJvmCompletion c, KoJvmThread* t) { c(nullptr, nullptr, t); }
inline void ko_ret_int(KoJvmCompletion c, KoJvmThread* t, std::int32_t v)
{
    KoJvmCat1ValueUnion r[1];
    r[0].i = v;
    c(r, nullptr, t);
}
inline void ko_ret_float(KoJvmCompletion c, KoJvmThread* t, float v)
{
    KoJvmCat1ValueUnion r[1];
    r[0].f = v;
    c(r, nullptr, t);
}
inline void ko_ret_long(KoJvmCompletion c, KoJvmThread* t, std::int64_t v)
{
    KoJvmCat1ValueUnion r[2];
    r[0].i = static_cast<std::int32_t>(v >> 32);
    r[1].i = static_cast<std::int32_t>(v);
    c(r, nullptr, t);
}
inline void ko_ret_double(KoJvmCompletion c, KoJvmThread* t, double v)
{
    KoJvmCat1ValueUnion r[2];
    std::memcpy(r, &v, 8);
    c(r, nullptr, t);
}
inline void ko_ret_ref(KoJvmCompletion c, KoJvmThread* t, KoJvmObjectRec* o)
{
    KoJvmCat1ValueUnion r[1];
    r[0].ref = ko_ref(o);
    c(r, nullptr, t);
}
inline void ko_ret_throw(KoJvmRec* vm, KoJvmCompletion c, KoJvmThread* t, const char* cls, const char* msg = nullptr)
{
    c(nullptr, ko_jvm_throw_by_name(vm, t, cls, msg), t);
}
// A string result; out of memory raises java/lang/OutOfMemoryError.
inline void ko_ret_string(KoJvmRec* vm, KoJvmCompletion c, KoJvmThread* t, const char* utf8)
{
    KoJvmObjectRec* s = ko_jvm_new_string_utf8(vm, utf8, std::strlen(utf8));
    if (!s)
        c(nullptr, vm->oom, t);
    else
        ko_ret_ref(c, t, s);
}
inline std::int64_t ko_arg_long(const KoJvmCat1ValueUnion* p)
{
    return (std::int64_t(std::uint32_t(p[0].i)) << 32) | std::uint32_t(p[1].i);
}
inline double ko_arg_double(const KoJvmCat1ValueUnion* p)
{
    double d;
    std::memcpy(&d, p, 8);
    return d;
}

// Native that the class library does not provide: raises
// java/lang/UnsupportedOperationException.
KO_NATIVE(ko_jvm_unsupported_native);

struct KoJvmEmbeddedClass {
    const char* name;
    const unsigned char* bytes;
    unsigned long length;
};
extern const KoJvmEmbeddedClass ko_jvm_embedded_classes[];
extern const int ko_jvm_embedded_class_count;
extern const KoJvmEmbeddedClass ko_jvm_embedded_app_classes[];
extern const int ko_jvm_embedded_app_class_count;

// Defines the class of that name from an embedded table with its native
// table (true when it is already defined).
bool ko_jvm_define_embedded(KoJvmRec* vm, const KoJvmEmbeddedClass* table, int n, const char* name,
                            const KoJvmNative* natives, int count);

// Reflection natives (java/lang/Class's reflective members, java/lang/reflect).
KO_NATIVE(Class_newInstance);
KO_NATIVE(Class_getFields);
KO_NATIVE(Class_getMethods);
KO_NATIVE(Class_getConstructors);
KO_NATIVE(Class_getMethod);
KO_NATIVE(Class_getConstructor);
KO_NATIVE(Class_getDeclaredFields);
KO_NATIVE(Class_getDeclaredMethods);
KO_NATIVE(Array_newInstance);
KO_NATIVE(Array_getLength);
KO_NATIVE(Member_getDeclaringClass);
KO_NATIVE(Member_getName);
KO_NATIVE(Member_getModifiers);
KO_NATIVE(Member_isVarArgs);
KO_NATIVE(Constructor_getName);
KO_NATIVE(Constructor_getParameterTypes);
KO_NATIVE(Constructor_newInstance);
KO_NATIVE(Method_getReturnType);
KO_NATIVE(Method_getParameterTypes);
KO_NATIVE(Method_invoke);
KO_NATIVE(Field_getType);
KO_NATIVE(Field_get);
KO_NATIVE(Field_setBoolean);
KO_NATIVE(Field_setInt);
KO_NATIVE(Field_setLong);
KO_NATIVE(Field_setReference);

// Native whose binding the application has not installed: raises
// java/lang/UnsatisfiedLinkError naming the method.
KO_NATIVE(ko_jvm_unbound_native);

// Java's text of a double and a float ("1.0E10", "0.001", "NaN").
void ko_jvm_format_double(double d, char* out, std::size_t size);
void ko_jvm_format_float(float f, char* out, std::size_t size);
// Decimal digits of mant * 2^e2 (ulp 2^ulp_e2, precision bits of the type)
// as Java prints them; writes the digits and the decimal point's place
// (value = 0.digits * 10^decpt) and answers the number of digits.
int ko_jvm_java_digits(std::uint64_t mant, int e2, int ulp_e2, int precision, char* digits, int* decpt);
