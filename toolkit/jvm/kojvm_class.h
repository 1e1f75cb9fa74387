// Class records: parsing class files, field layout, member lookup and
// loading through the class loader.
#pragma once

#include "toolkit/jvm/kojvm_internal.h"

KoJvmObjectRec* ko_jvm_parse_class(KoJvmRec* vm, KoJvmClassRec* clazz, const unsigned char* bytes, std::size_t length,
                                   int flags, const KoJvmNative* natives, int count);
KoJvmObjectRec* ko_jvm_layout_fields(KoJvmRec* vm, KoJvmClassRec* clazz);
KoJvmClassRec* ko_jvm_new_class_record(KoJvmRec* vm);
void ko_jvm_release_class(KoJvmRec* vm, KoJvmClassRec* clazz);
KoJvmMethodRec* ko_jvm_lookup_method(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmSymbol* name, KoJvmSymbol* desc,
                                     bool interfaces);
KoJvmFieldRec* ko_jvm_lookup_field(KoJvmRec* vm, KoJvmClassRec* clazz, KoJvmSymbol* name, KoJvmSymbol* desc);
void ko_jvm_resolve_strings(KoJvmRec* vm, KoJvmClassRec* clazz);
// Loads a class and its supertypes through the class loader; null and an
// exception on failure.
KoJvmClassRec* ko_jvm_load_class(KoJvmRec* vm, KoJvmSymbol* name, KoJvmObjectRec** exception);
KoJvmClassRec* ko_jvm_superclass(KoJvmClassRec* c);
// A class record from class-file bytes (freed unless flags has 1) for the
// name; null and an exception when the bytes are missing or bad.
KoJvmClassRec* ko_jvm_class_from_bytes(KoJvmRec* vm, KoJvmSymbol* name, unsigned char* bytes, std::size_t length,
                                       int flags, KoJvmObjectRec** exception);
// Links a parsed class whose superclass and interfaces are linked: state 1.
KoJvmObjectRec* ko_jvm_link_class(KoJvmRec* vm, KoJvmClassRec* clazz);
// Slots of a method descriptor's arguments; -1 when malformed.
int ko_jvm_descriptor_slots(const char* desc, std::size_t length, int* return_slots, bool* return_ref,
                            std::size_t* return_offset);
