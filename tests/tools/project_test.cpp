#include <gtest/gtest.h>

#include <string>

#include "project.h"
#include "test_support.h"

namespace {

using vela::test::TempDir;
using vela::test::WriteFileText;

const char kScript[] =
    "[General]\nProduct name=P\nRegistry key=Software\\P\nAdvanced options=%OPTIONS%\nNumber of files=2\n"
    "[0]\nName=%NAME0%\nCreate name=p.exe\n[1]\nName=u.exe\nCreate name=u.exe\n";
const char kCatalogue[] = "[Main]\ncomplete=Done\n[Options]\ndesktop=Desktop\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// A project folder that a case then damages in one way.
struct ProjectCase {
    const char* name;
    void (*damage)(const TempDir& dir, std::string& script);
    bool error;         // an error (else a warning) ...
    const char* where;  // ... at this place
};

class ProjectChecks : public testing::TestWithParam<ProjectCase> {};

std::vector<ScriptProblem> Check(const TempDir& dir, int codePage = 1252) {
    vela::Project project;
    std::vector<ScriptProblem> problems;
    if (vela::LoadProject(dir.path(), codePage, project, problems))
        vela::CheckProject(project, codePage, problems);
    return problems;
}

void MakeProject(const TempDir& dir, std::string script) {
    WriteFileText(dir / "Vela.ini", Replace(Replace(script, "%OPTIONS%", "1"), "%NAME0%", "p.exe"));
    WriteFileText(dir / "p.exe", "program");
    WriteFileText(dir / "u.exe", "uninstaller");
    WriteFileText(dir / "logo.bmp", "BM");
    WriteFileText(dir / "English.clg", kCatalogue);
}

TEST(ProjectChecks, CleanProjectHasNoProblems) {
    TempDir dir;
    MakeProject(dir, kScript);
    for (const auto& p : Check(dir))
        ADD_FAILURE() << p.where << ": " << p.message;
}

TEST_P(ProjectChecks, ReportsTheProblem) {
    const ProjectCase& c = GetParam();
    TempDir dir;
    std::string script = kScript;
    MakeProject(dir, script);
    c.damage(dir, script);
    std::string all;
    bool found = false;
    for (const auto& p : Check(dir)) {
        all += p.where + ": " + p.message + "\n";
        if (p.where == c.where && (p.severity == ScriptProblem::Error) == c.error)
            found = true;
    }
    EXPECT_TRUE(found) << "expected a problem at " << c.where << ", got:\n" << all;
}

void Rewrite(const TempDir& dir, const std::string& script) {
    WriteFileText(dir / "Vela.ini", script);
}

INSTANTIATE_TEST_SUITE_P(
    Problems, ProjectChecks,
    testing::Values(
        ProjectCase{"MissingLogo", [](const TempDir& d, std::string&) { std::filesystem::remove(d / "logo.bmp"); }, true,
                    "logo.bmp"},
        ProjectCase{"EntryWithoutFile", [](const TempDir& d, std::string&) { std::filesystem::remove(d / "u.exe"); }, true,
                    "[1] Name"},
        ProjectCase{"EntryClimbingOut",
                    [](const TempDir& d, std::string& s) {
                        Rewrite(d, Replace(Replace(s, "%OPTIONS%", "0"), "%NAME0%", "../outside.exe"));
                    },
                    true, "[0] Name"},
        ProjectCase{"NoCatalogues", [](const TempDir& d, std::string&) { std::filesystem::remove(d / "English.clg"); },
                    false, "*.clg"},
        ProjectCase{"CatalogueLacksOfferedOption",
                    [](const TempDir& d, std::string& s) {
                        Rewrite(d, Replace(Replace(s, "%OPTIONS%", "5"), "%NAME0%", "p.exe"));
                    },
                    false, "English.clg"},
        ProjectCase{"CharacterOutsideCodePage",
                    [](const TempDir& d, std::string& s) {
                        Rewrite(d, "; \xD0\x9F\n" + Replace(Replace(s, "%OPTIONS%", "1"), "%NAME0%", "p.exe"));
                    },
                    true, "Vela.ini:1"},
        ProjectCase{"MixedEncodings",
                    [](const TempDir& d, std::string&) { WriteFileText(d / "English.clg", std::string(kCatalogue) + "; Caf\xC3\xA9\n; Caf\xE9\n"); },
                    false, "English.clg"}),
    [](const testing::TestParamInfo<ProjectCase>& param) { return param.param.name; });

TEST(ProjectChecks, MissingScriptIsNamed) {
    TempDir dir;
    vela::Project project;
    std::vector<ScriptProblem> problems;
    EXPECT_FALSE(vela::LoadProject(dir.path(), 1252, project, problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].where.find("Vela.ini"), std::string::npos);
}

TEST(ProjectPaths, ResolveBelowRefusesWhatLeavesTheFolder) {
    std::filesystem::path dir = "/project";
    EXPECT_EQ(vela::ResolveBelow(dir, "bin\\a.exe"), dir / "bin/a.exe");
    EXPECT_EQ(vela::ResolveBelow(dir, "a.exe"), dir / "a.exe");
    for (const char* bad : {"", "/etc/passwd", "\\x", "C:\\x", "..\\x", "a/../../x", "a/.."})
        EXPECT_TRUE(vela::ResolveBelow(dir, bad).empty()) << bad;
}

}  // namespace
