#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "config/ini_file.h"
#include "foundation/resource_provider.h"
#include "test_support.h"

namespace {

struct Lookup {
    const char* section;
    const char* key;
    const char* expected;  // nullptr: the default is returned (the very pointer)
};

struct LookupCase {
    const char* name;
    std::string text;
    std::vector<Lookup> lookups;
};

const std::string kLongSection(248, 's');

class IniLookups : public testing::TestWithParam<LookupCase> {};

TEST_P(IniLookups, ReturnStoredValueOrDefault) {
    const LookupCase& c = GetParam();
    TIniFile ini;
    ASSERT_TRUE(ini.ParseBytes(c.text.data(), c.text.size()));
    static const char kDefault[] = "<default>";
    for (const Lookup& l : c.lookups) {
        const char* got = ini.GetString(l.section, l.key, kDefault);
        if (l.expected == nullptr)
            EXPECT_EQ(got, kDefault) << "[" << l.section << "] " << l.key << " gave '" << got << "'";
        else
            EXPECT_STREQ(got, l.expected) << "[" << l.section << "] " << l.key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniLookups,
    testing::Values(
        LookupCase{"BlanksAroundFirstEquals", "[General]\n  Title   =   My App  \n", {{"General", "Title", "My App"}}},
        LookupCase{"OnlyFirstEqualsIsNormalised", "[S]\nKey==x\nA = b = c\n", {{"S", "Key", "=x"}, {"S", "A", "b = c"}}},
        LookupCase{"HeaderWithTrailingBlanks", "[General]   \nA=1\n[ Spaced ]\nB=2\n",
                   {{"General", "A", "1"}, {"Spaced", "B", nullptr}, {" Spaced ", "B", "2"}}},
        LookupCase{"KeyOnlyInLaterSection", "[A]\nx=1\n[B]\ny=2\n", {{"A", "y", nullptr}, {"B", "y", "2"}, {"C", "x", nullptr}}},
        LookupCase{"RepeatedHeaderContinuesSection", "[A]\nx=1\n[B]\nx=2\n[A]\nx=3\ny=4\n",
                   {{"A", "x", "1"}, {"A", "y", "4"}, {"B", "x", "2"}}},
        LookupCase{"RepeatedHeaderRightAfterBlock", "[A]\nx=1\n[A]\ny=2", {{"A", "y", "2"}}},
        LookupCase{"FirstOfTwoKeysWins", "[A]\nk=first\nk=second\n", {{"A", "k", "first"}}},
        LookupCase{"BareKeyLineEndsTheBlock", "[A]\nk\nk=v\n[A]\nk=w\n", {{"A", "k", "w"}}},
        LookupCase{"BareKeyLineWithoutLaterBlock", "[A]\nk\nk=v\n", {{"A", "k", nullptr}}},
        LookupCase{"EmptyValueIsNotDefault", "[A]\nk=\n", {{"A", "k", ""}}},
        LookupCase{"AnyBracketLineEndsBlock", "[A]\n[junk\nk=v\n", {{"A", "k", nullptr}}},
        LookupCase{"CommentsAndQuotesAreStoredText", "[A]\n;k=commented\nq=\"quoted\" ; rest\n",
                   {{"A", "q", "\"quoted\" ; rest"}, {"A", ";k", "commented"}}},
        LookupCase{"CrLfLineEnds", "[A]\r\nk=v\r\nlast=end", {{"A", "k", "v"}, {"A", "last", "end"}}},
        LookupCase{"TextEndsAtNul", std::string("[A]\nk=v\0\nz=after\n", sizeof "[A]\nk=v\0\nz=after\n" - 1), {{"A", "k", "v"}, {"A", "z", nullptr}}},
        LookupCase{"CaseSensitive", "[A]\nKey=v\n", {{"a", "Key", nullptr}, {"A", "key", nullptr}}},
        LookupCase{"HeaderAsLastLine", "[A]", {{"A", "k", nullptr}}},
        LookupCase{"DefineStoresKeyLine", "[Main]\n#define Colour red\n  #define Shade dark red\n#define\tTab x\n",
                   {{"Main", "Colour", "red"}, {"Main", "Shade", "dark"}, {"Main", "Tab", "x"}}},
        LookupCase{"HighBytesAreNotTrimmed", "[A]\nk=\xA0value\xA0\n", {{"A", "k", "\xA0value\xA0"}}},
        LookupCase{"SectionLongerThanAnyLine", "[" + kLongSection + "]\nk=v\n", {{kLongSection.c_str(), "k", nullptr}}}),
    [](const testing::TestParamInfo<LookupCase>& param) { return param.param.name; });

TEST(IniFile, LinesAreCutAt249BytesAndNormalised) {
    TIniFile ini;
    std::string text = std::string(300, 'a') + "\n" + std::string(249, 'b') + "\n\n  middle  \nlast";
    ini.ParseBytes(text.data(), text.size());
    ASSERT_EQ(ini.LineCount(), 6);
    EXPECT_EQ(std::string(ini.GetLine(0)), std::string(249, 'a'));
    EXPECT_EQ(std::string(ini.GetLine(1)), std::string(51, 'a'));
    EXPECT_EQ(std::string(ini.GetLine(2)), std::string(249, 'b'));
    EXPECT_STREQ(ini.GetLine(3), "");
    EXPECT_STREQ(ini.GetLine(4), "middle");
    EXPECT_STREQ(ini.GetLine(5), "last");
}

TEST(IniFile, FindKeyLooksAtTheFirstBlockOnly) {
    TIniFile ini;
    ini.Parse("x\n[A]\nk=1\n[B]\nbare\nbare=2\n[A]\nonly=3\n");
    EXPECT_EQ(ini.FindKey("A", nullptr), 1);
    EXPECT_EQ(ini.FindKey("A", "k"), 2);
    EXPECT_EQ(ini.FindKey("A", "only"), -1);
    EXPECT_EQ(ini.FindKey("B", "bare"), -1);
    EXPECT_EQ(ini.FindKey("C", nullptr), -1);
    EXPECT_EQ(ini.GetLine(ini.LineCount()), nullptr);
    EXPECT_EQ(ini.GetLine(-1), nullptr);

    TIniFile empty;  // no line list yet
    EXPECT_EQ(empty.FindKey("A", nullptr), -1);
    EXPECT_EQ(empty.GetLine(0), nullptr);
    const char* def = "d";
    EXPECT_EQ(empty.GetString("A", "k", def), def);
}

TEST(IniFile, TypedGettersReadTheRawValue) {
    TIniFile ini;
    ini.Parse(
        "[N]\nhex=0x1F\noct=010\ntail=12abc\nnone=abc\nneg= -5\nbig=99999999999\nsmall=-99999999999\nempty=\n"
        "f=2.5e1x\n"
        "[B]\nyes=yes\none=1\ntrue=true\non=on\nenable=enable\nru1=\xA4\xA0\nru2=\x84\xA0\nru3=\x84\x80\n"
        "Enable=Enable\nzero=0\nYES=YES\nyes_=yes \n");
    struct { const char* key; int32_t expected; } ints[] = {
        {"hex", 31}, {"oct", 8}, {"tail", 12}, {"none", 0}, {"neg", -5},
        {"big", INT32_MAX}, {"small", INT32_MIN}, {"empty", 77}, {"missing", 77}};
    for (auto c : ints)
        EXPECT_EQ(ini.GetInt("N", c.key, 77), c.expected) << c.key;
    EXPECT_DOUBLE_EQ(ini.GetFloat("N", "f", 1.0), 25.0);
    EXPECT_DOUBLE_EQ(ini.GetFloat("N", "none", 1.0), 0.0);
    EXPECT_DOUBLE_EQ(ini.GetFloat("N", "empty", 1.5), 1.5);

    for (const char* key : {"yes", "one", "true", "on", "enable", "ru1", "ru2", "ru3", "yes_"})
        EXPECT_TRUE(ini.GetBool("B", key, false)) << key;
    for (const char* key : {"Enable", "zero", "YES"})
        EXPECT_FALSE(ini.GetBool("B", key, true)) << key;
    EXPECT_TRUE(ini.GetBool("N", "empty", true));
}

TEST(IniFile, ListGetters) {
    TIniFile ini;
    ini.Parse("[L]\nnums=1, 2.5; 3\ndash=1-2\nhex=0x10,010\n"
              "s1=a, b\ns2=a b, c\ns3=a b c\ns4=\"x, y\",z\ns5=a ,b\ns6=a,,,b\ns7=\"open\nempty=\n");
    EXPECT_EQ(*ini.GetIntList("L", "dash", nullptr), (std::vector<int32_t>{1, -2}));
    EXPECT_EQ(*ini.GetIntList("L", "hex", nullptr), (std::vector<int32_t>{16, 8}));
    EXPECT_EQ(*ini.GetIntList("L", "nums", nullptr), (std::vector<int32_t>{1, 2, 5, 3}));
    EXPECT_EQ(*ini.GetFloatList("L", "nums", nullptr), (std::vector<double>{1, 2.5, 3}));
    using S = std::vector<std::string>;
    struct { const char* key; S expected; } strings[] = {
        {"s1", {"a", "b"}}, {"s2", {"a b", "c"}}, {"s3", {"a", "b", "c"}}, {"s4", {"x, y", "z"}},
        {"s5", {"a ", "b"}}, {"s6", {"a", "", "b"}}, {"s7", {"open"}}};
    for (auto& c : strings)
        EXPECT_EQ(*ini.GetStringList("L", c.key, nullptr), c.expected) << c.key;
    EXPECT_EQ(ini.GetStringList("L", "empty", nullptr), nullptr);
    EXPECT_EQ(ini.GetIntList("L", "missing", nullptr), nullptr);
    EXPECT_EQ(*ini.GetIntList("L", "missing", "4 5"), (std::vector<int32_t>{4, 5}));
    EXPECT_EQ(*ini.GetStringList("L", "empty", "p,q"), (S{"p", "q"}));
}

// A provider serving texts from a table, counting its reads.
class TableProvider : public TResourceProvider {
public:
    std::map<std::string, std::string> texts;
    int reads = 0;
    char* ReadResource(const char* name, int32_t a, int32_t b, int32_t c) override {
        EXPECT_EQ(a | b | c, 0);
        reads++;
        auto it = texts.find(name);
        if (it == texts.end())
            return nullptr;
        char* copy = static_cast<char*>(std::malloc(it->second.size() + 1));
        std::memcpy(copy, it->second.c_str(), it->second.size() + 1);
        return copy;
    }
};

class IniWithProvider : public testing::Test {
protected:
    void SetUp() override { ResourceProvider = &provider; }
    void TearDown() override { ResourceProvider = nullptr; }
    TableProvider provider;
};

TEST_F(IniWithProvider, IncludeInsertsTheTextInPlace) {
    provider.texts["common.ini"] = "[Shared]\nk=shared\n";
    provider.texts["name with spaces "] = "[Spaced]\nk=1";
    TIniFile ini;
    ini.Parse("[Before]\nk=before\n  #include \"common.ini\" trailing\n#include name with spaces \r\n[After]\nk=after\n#include missing\n");
    EXPECT_STREQ(ini.GetString("Before", "k", ""), "before");
    EXPECT_STREQ(ini.GetString("Shared", "k", ""), "shared");
    EXPECT_STREQ(ini.GetString("Spaced", "k", ""), "1");
    EXPECT_STREQ(ini.GetString("After", "k", ""), "after");
    EXPECT_STREQ(ini.GetLine(2), "[Shared]");
    EXPECT_EQ(ini.LineCount(), 8);
}

TEST_F(IniWithProvider, SelfIncludeStopsAtTheDepthLimit) {
    provider.texts["loop"] = "x=1\n#include loop\n";
    TIniFile ini;
    ini.Parse("[A]\n#include loop\n");
    EXPECT_EQ(provider.reads, TIniFile::MaxIncludeDepth);
    EXPECT_STREQ(ini.GetString("A", "x", ""), "1");
}

TEST_F(IniWithProvider, ReloadReadsTheRememberedNameThroughTheProvider) {
    vela::test::TempDir dir;
    std::string path = (dir / "a.ini").string();
    vela::test::WriteFileText(path, "[A]\nk=disk\n");
    TIniFile ini;
    ASSERT_TRUE(ini.Load(path.c_str()));
    EXPECT_FALSE(ini.Failed());
    EXPECT_STREQ(ini.GetString("A", "k", ""), "disk");

    EXPECT_FALSE(ini.Reload());  // the provider has no such text
    EXPECT_TRUE(ini.Failed());
    EXPECT_EQ(ini.LineCount(), 0);

    provider.texts[path] = "[A]\nk=provided\n";
    EXPECT_TRUE(ini.Reload());
    EXPECT_STREQ(ini.GetString("A", "k", ""), "provided");
}

TEST(IniFile, LoadAndSaveRoundTripTheNormalisedLines) {
    vela::test::TempDir dir;
    std::string in = (dir / "in.ini").string(), out = (dir / "out.ini").string();
    vela::test::WriteFileText(in, "  [A]  \r\n key = value \r\n#define D v\n");
    TIniFile ini;
    ASSERT_TRUE(ini.Load(in.c_str()));
    ASSERT_TRUE(ini.Save(out.c_str()));
    EXPECT_EQ(vela::test::NormalizeLineEnds(vela::test::ReadFileText(out)), "[A]\nkey=value\nD=v\n");

    TIniFile missing;
    EXPECT_FALSE(missing.Load((dir / "absent.ini").string().c_str()));
    EXPECT_TRUE(missing.Failed());
    EXPECT_EQ(missing.FileName(), (dir / "absent.ini").string());
    EXPECT_FALSE(missing.Parse(nullptr));
    EXPECT_TRUE(missing.Failed());
}

TEST(IniFile, IsAKnowsItsClass) {
    TIniFile ini;
    EXPECT_EQ(ini.IsA("TIniFile"), &ini);
    EXPECT_EQ(ini.IsA("TObject"), &ini);
    EXPECT_EQ(ini.IsA("TCollection"), nullptr);
}

}  // namespace
