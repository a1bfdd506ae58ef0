#include <gtest/gtest.h>

#include <string>

#include "app/setup_script.h"
#include "app/setup_state.h"

namespace {

SetupScript Read(const std::string& text) {
    return ReadSetupScriptText(text.data(), text.size());
}

const char kFullScript[] =
    "[General]\n"
    "Title=Demo Setup\n"
    "Product name = Demo\n"
    "Copyright=(c) Demo Ltd\n"
    "Registry key=Software\\Demo\\Demo\n"
    "Default folder=C:\\Program Files\\Demo\n"
    "Default program folder=Demo\n"
    "Main executable=0\n"
    "Readme=1\n"
    "Run with '/install'=1\n"
    "Run with '/uninstall'=0x1\n"
    "Advanced options=0x0D\n"
    "Advanced options def=010\n"
    "Number of file types=2\n"
    "File type 0.Description=Demo document\n"
    "File type 0.Name=Demo.Document\n"
    "File type 0.Extensions=.dem .dmo\n"
    "File type 0.Icon=-131069\n"
    "File type 0.Open command=\"%1\"\n"
    "File type 0.Open command file=-1\n"
    "File type 1. Name=not read\n"
    "Number of files=3\n"
    "[0]\nName=demo.exe\nCreate name=bin/demo.exe\nShortcut name=Demo\nArguments=/x\nCan uninstall = 1\n"
    "[2]\nName=uninst.exe\nCreate name=uninst.exe\nTo windows folder=1\nTo system folder=1\nCan uninstall=1\n";

TEST(SetupScript, ReadsEveryKeyIntoItsRecord) {
    SetupScript s = Read(kFullScript);
    EXPECT_EQ(s.title, "Demo Setup");
    EXPECT_EQ(s.productName, "Demo");
    EXPECT_EQ(s.noticeText, "(c) Demo Ltd");
    EXPECT_EQ(s.registryKey, "Software\\Demo\\Demo");
    EXPECT_EQ(s.defaultFolder, "C:\\Program Files\\Demo");
    EXPECT_EQ(s.defaultProgramFolder, "Demo");
    EXPECT_EQ(s.mainExecutable, 0);
    EXPECT_EQ(s.readme, 1);
    EXPECT_EQ(s.runWithInstall, 1);
    EXPECT_EQ(s.runWithUninstall, 1);
    EXPECT_EQ(s.advancedOptions, OptionDesktopShortcut | OptionRunProgram | OptionOpenReadme);
    EXPECT_EQ(s.advancedOptionsDefault, 8);

    ASSERT_EQ(s.fileTypes.size(), 2u);
    const FileTypeRecord& t = s.fileTypes[0];
    EXPECT_EQ(t.description, "Demo document");
    EXPECT_EQ(t.name, "Demo.Document");
    EXPECT_EQ(t.extensions, ".dem .dmo");
    EXPECT_EQ(IconFileNumber(t.icon), 3);
    EXPECT_EQ(IconIndex(t.icon), -2);
    EXPECT_EQ(t.openCommand, "\"%1\"");
    EXPECT_EQ(t.openCommandFile, -1);
    EXPECT_EQ(s.fileTypes[1].name, "") << "a key with a blank after the full stop is another key";

    ASSERT_EQ(s.files.size(), 3u);
    EXPECT_EQ(s.files[0].name, "demo.exe");
    EXPECT_EQ(s.files[0].createName, "bin/demo.exe");
    EXPECT_EQ(s.files[0].shortcutName, "Demo");
    EXPECT_EQ(s.files[0].arguments, "/x");
    EXPECT_EQ(s.files[0].canUninstall, 1);
    EXPECT_EQ(s.files[1].name, "") << "a missing section gives a record of defaults";
    EXPECT_EQ(s.files[1].canUninstall, 0);
    EXPECT_EQ(s.files[2].toWindowsFolder, 1);
    EXPECT_EQ(s.files[2].toSystemFolder, 1);
    EXPECT_TRUE(s.files[2].targetFolder.empty());
}

TEST(SetupScript, DefaultsAndOddValues) {
    SetupScript bare = Read("[General]\n");
    EXPECT_EQ(bare.title, "Tavro Ltd");
    EXPECT_TRUE(bare.files.empty());
    EXPECT_TRUE(bare.fileTypes.empty());
    EXPECT_EQ(bare.advancedOptions, 0);

    SetupScript odd = Read("[General]\nTitle=\nMain executable=x\nNumber of files=-3\nNumber of file types=2147483647\n");
    EXPECT_EQ(odd.title, "") << "an empty value is not the default";
    EXPECT_EQ(odd.mainExecutable, 0);
    EXPECT_TRUE(odd.files.empty());
    EXPECT_EQ(odd.fileTypes.size(), static_cast<size_t>(MaxScriptRecords)) << "reading stops at the record limit";
}

TEST(SetupScript, IconPacking) {
    struct { int32_t icon; int32_t file; int32_t index; } cases[] = {
        {0, 0, 0}, {1, 1, 0}, {65537, 1, 1}, {-131069, 3, -2}, {INT32_MAX, 0xFFFF, 0x7FFF}};
    for (auto c : cases) {
        EXPECT_EQ(IconFileNumber(c.icon), c.file) << c.icon;
        EXPECT_EQ(IconIndex(c.icon), c.index) << c.icon;
    }
}

// Each problem of a script once, against a clean script.
struct CheckCase {
    const char* name;
    std::string general;  // lines added to [General]
    std::string sections; // file sections replacing the default two
    ScriptProblem::Severity severity;
    const char* where;
};

class ScriptChecks : public testing::TestWithParam<CheckCase> {};

const char kCleanGeneral[] = "[General]\nProduct name=P\nRegistry key=Software\\P\nMain executable=0\nReadme=1\nNumber of files=2\n";
const char kCleanFiles[] = "[0]\nName=p.exe\nCreate name=p.exe\nShortcut name=P\n[1]\nName=u.exe\nCreate name=u.exe\n";

TEST(ScriptChecks, CleanScriptHasNoProblems) {
    auto problems = CheckSetupScript(Read(std::string(kCleanGeneral) + kCleanFiles));
    for (const auto& p : problems)
        ADD_FAILURE() << p.where << ": " << p.message;
}

TEST_P(ScriptChecks, ReportsTheProblem) {
    const CheckCase& c = GetParam();
    // Later lines of a key do not override earlier ones, so the case's lines go first.
    std::string general = "[General]\n" + c.general + std::string(kCleanGeneral).substr(10);
    std::string text = general + (c.sections.empty() ? std::string(kCleanFiles) : c.sections);
    auto problems = CheckSetupScript(Read(text));
    bool found = false;
    for (const auto& p : problems)
        if (p.where == c.where && p.severity == c.severity)
            found = true;
    std::string all;
    for (const auto& p : problems)
        all += p.where + ": " + p.message + "\n";
    EXPECT_TRUE(found) << "expected a problem at " << c.where << ", got:\n" << all;
    EXPECT_EQ(HasErrors(problems), c.severity == ScriptProblem::Error) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Problems, ScriptChecks,
    testing::Values(
        CheckCase{"NoFiles", "Number of files=0\n", "", ScriptProblem::Error, "[General] Number of files"},
        CheckCase{"MainExecutableOutside", "Main executable=2\n", "", ScriptProblem::Error, "[General] Main executable"},
        CheckCase{"NegativeMainExecutable", "Main executable=-1\n", "", ScriptProblem::Error, "[General] Main executable"},
        CheckCase{"EmptyRegistryKey", "Registry key=\n", "", ScriptProblem::Error, "[General] Registry key"},
        CheckCase{"EmptyName", "", "[0]\nName=\nCreate name=a\n[1]\nName=u.exe\nCreate name=u.exe\n", ScriptProblem::Error, "[0] Name"},
        CheckCase{"ReadmeOutside", "Readme=5\n", "", ScriptProblem::Warning, "[General] Readme"},
        CheckCase{"ReadmeOutsideButOffered", "Readme=5\nAdvanced options=8\n", "", ScriptProblem::Error, "[General] Readme"},
        CheckCase{"EmptyProductName", "Product name=\n", "", ScriptProblem::Warning, "[General] Product name"},
        CheckCase{"FileTypeWithoutName", "Number of file types=1\nFile type 0.Extensions=.a\n", "", ScriptProblem::Warning, "[General] File type 0.Name"},
        CheckCase{"EmptyExtensionPieces", "Number of file types=1\nFile type 0.Name=A\nFile type 0.Extensions=.a  .b\n", "", ScriptProblem::Warning, "[General] File type 0.Extensions"},
        CheckCase{"IconPastList", "Number of file types=1\nFile type 0.Name=A\nFile type 0.Extensions=.a\nFile type 0.Icon=3\n", "", ScriptProblem::Warning, "[General] File type 0.Icon"},
        CheckCase{"AbsoluteCreateName", "", "[0]\nName=p.exe\nCreate name=C:\\p.exe\n[1]\nName=u.exe\nCreate name=u.exe\n", ScriptProblem::Warning, "[0] Create name"},
        CheckCase{"ClimbingCreateName", "", "[0]\nName=p.exe\nCreate name=bin/../../p.exe\n[1]\nName=u.exe\nCreate name=u.exe\n", ScriptProblem::Warning, "[0] Create name"},
        CheckCase{"BackslashShortcut", "", "[0]\nName=p.exe\nCreate name=p.exe\nShortcut name=Tools\\Run\n[1]\nName=u.exe\nCreate name=u.exe\n", ScriptProblem::Warning, "[0] Shortcut name"}),
    [](const testing::TestParamInfo<CheckCase>& param) { return param.param.name; });

TEST(SetupState, ApplyCopiesTheScriptAndChoosesThePackage) {
    installProgress = 55;
    ApplySetupScript(Read(kFullScript));
    EXPECT_EQ(installProgress, 0);
    EXPECT_EQ(productName, "Demo");
    EXPECT_EQ(registryKey, "Software\\Demo\\Demo");
    EXPECT_EQ(files.size(), 3u);
    EXPECT_EQ(fileTypes.size(), 2u);
    EXPECT_EQ(advancedOptions, 13);

    char self[] = "setup.exe", empty[] = "", pkg[] = "demo.pkg", extra[] = "more";
    char* none[] = {self};
    char* emptyArg[] = {self, empty};
    char* withPkg[] = {self, pkg, extra};
    EXPECT_STREQ(ChoosePackagePath(1, none, "C:\\setup.exe"), "C:\\setup.exe");
    EXPECT_STREQ(ChoosePackagePath(2, emptyArg, "C:\\setup.exe"), "C:\\setup.exe");
    EXPECT_STREQ(ChoosePackagePath(3, withPkg, "C:\\setup.exe"), "demo.pkg");
}

}  // namespace
