#include "common/container/xr_string.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "support/xr_temp_root.h"

namespace {

// The English catalogue under a private root.
class XrStringText : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(m_root.dir() + "/usr/share/locale/en/LC_MESSAGES/kestrova.mo"))
            << "the message catalogue is not staged (target xr_catalogue)";
        setenv("LANGUAGE", "en", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        std::setlocale(LC_ALL, "");
        ASSERT_TRUE(bind_text_domain());
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    XrTempRoot m_root;
};

} // namespace

TEST_F(XrStringText, TextById)
{
    EXPECT_EQ(std::wstring(XrString(R_STR_POSDLG_PCS).c_str()), L"%d streets");
    XrString s(L"old");
    EXPECT_TRUE(s.load_text(R_STR_POSDLG_DISTANCE_TO));
    EXPECT_EQ(std::wstring(s.c_str()), L"%s to %s");
    // Without a translation the key itself is the text.
    EXPECT_EQ(std::wstring(XrString(3).c_str()), L"r_str_unused_3");
}

TEST_F(XrStringText, UnknownIdentifier)
{
    for (int id : {-1, 879, 100000}) {
        XrString s(L"old");
        EXPECT_FALSE(s.load_text(id)) << id;
        EXPECT_EQ(s.length(), 0) << id;
        EXPECT_EQ(XrString(id).length(), 0) << id;
        XrString f(L"kept");
        EXPECT_FALSE(f.format_text(50, id, 1)) << id;
        EXPECT_EQ(std::wstring(f.c_str()), L"kept") << id;
    }
}

TEST_F(XrStringText, FormatText)
{
    XrString s;
    EXPECT_TRUE(s.format_text(50, R_STR_POSDLG_PCS, 12));
    EXPECT_EQ(std::wstring(s.c_str()), L"12 streets");
    EXPECT_TRUE(s.format_text(50, R_STR_POSDLG_DISTANCE_TO, L"Home", L"W\u00F6rk"));
    EXPECT_EQ(std::wstring(s.c_str()), L"Home to W\u00F6rk");
    EXPECT_TRUE(s.format_text(6, R_STR_POSDLG_DISTANCE_TO, L"Home", L"Work"));
    EXPECT_EQ(std::wstring(s.c_str()), L"Home ");
}
