// The English message catalogue for tests: a temporary root with the
// compiled catalogue, LANGUAGE=en and the C.UTF-8 locale.
#pragma once

#include "common/misc/xr_msgtable.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

class EnglishTexts {
public:
    EnglishTexts()
    {
        setenv("LANGUAGE", "en", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        std::setlocale(LC_ALL, "");
        bound = bind_text_domain();
    }
    ~EnglishTexts()
    {
        std::setlocale(LC_ALL, "C");
        unsetenv("LANGUAGE");
        unsetenv("LC_ALL");
    }
    EnglishTexts(const EnglishTexts&) = delete;
    EnglishTexts& operator=(const EnglishTexts&) = delete;

    XrTempRoot root;
    bool bound = false;
};
