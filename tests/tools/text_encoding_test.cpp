#include <gtest/gtest.h>

#include "text_encoding.h"

namespace {

TEST(TextEncoding, Utf8IsConvertedAndOtherBytesPassUnchanged) {
    struct Case {
        const char* name;
        std::string input;
        int codePage;
        bool ok;
        std::string output;
    } cases[] = {
        {"ascii", "Setup", 1252, true, "Setup"},
        {"latin", "Caf\xC3\xA9", 1252, true, "Caf\xE9"},
        {"cyrillic", "\xD0\x9F\xD1\x80\xD0\xB8", 1251, true, "\xCF\xF0\xE8"},
        {"cyrillic in 1252", "ok \xD0\x9F", 1252, false, ""},
        {"already 1252", "Caf\xE9", 1252, true, "Caf\xE9"},
        {"already 1251", "\xCF\xF0\xE8", 1251, true, "\xCF\xF0\xE8"},
    };
    for (const Case& c : cases) {
        vela::EncodeResult r = vela::ToPackageText(c.input, c.codePage);
        EXPECT_EQ(r.ok, c.ok) << c.name;
        if (c.ok)
            EXPECT_EQ(r.text, c.output) << c.name;
        else
            EXPECT_EQ(r.badOffset, 3u) << c.name;
    }
    EXPECT_EQ(vela::PackageTextToUtf8("\xCF\xF0\xE8", 1251), "\xD0\x9F\xD1\x80\xD0\xB8");
    EXPECT_EQ(vela::PackageTextToUtf8("Caf\xE9", 1252), "Caf\xC3\xA9");
    EXPECT_EQ(vela::HexBytes("\x01\xAB"), "01ab");
}

TEST(TextEncoding, Utf8Validation) {
    for (const char* good : {"", "abc", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"})
        EXPECT_TRUE(vela::IsValidUtf8(good)) << good;
    for (const char* bad : {"\xC3", "\xE9t\xE9", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(vela::IsValidUtf8(bad));
}

}  // namespace
