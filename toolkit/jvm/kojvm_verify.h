// The verifier of loaded classes.
#pragma once

#include "toolkit/jvm/kojvm_internal.h"

// Structural check of every method's code; null or a java/lang/VerifyError.
KoJvmObjectRec* ko_jvm_verify_class(KoJvmRec* vm, KoJvmClassRec* clazz);
