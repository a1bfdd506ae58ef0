#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>

#include "foundation/fatal_report_exception.h"
#include "foundation/resource_provider.h"
#include "foundation/run_time_error.h"
#include "test_support.h"

namespace {

using vela::test::StderrErrorDisplay;
using vela::test::TempDir;

// Each test runs in a fresh folder, where the reports write "error.lst".
class RunTimeError : public testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        vela::test::SetDeathTestFolder(dir_.path());
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        SetRunTimeErrorDisplay(nullptr);
        reportInProgress = false;
    }
    std::string Log() { return vela::test::ReadFileText(dir_ / "error.lst"); }

    TempDir dir_;
    std::filesystem::path previous_;
};

// The records of the log: ctime line, report text, line end and empty line.
std::vector<std::string> LogRecords(const std::string& log) {
    static const std::regex record(
        "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\r?\n"
        "((?:.|\r?\n)*?)\r?\n\r?\n");
    std::vector<std::string> texts;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), record); it != std::sregex_iterator(); ++it)
        texts.push_back(std::regex_replace((*it)[1].str(), std::regex("\r\n"), "\n"));
    return texts;
}

TEST_F(RunTimeError, ReportTextHasTheFixedLayout) {
    char text[1000];
    FormatRunTimeReport(text, sizeof text, "compress", 123, "EOF!");
    EXPECT_EQ(std::string(text), std::string("File compress, line 123:\nEOF!\nPlease report to ") + kSupportAddress);
    std::string longMessage(5000, 'x');
    FormatRunTimeReport(text, sizeof text, "compress", 1, longMessage.c_str());
    EXPECT_EQ(std::strlen(text), 999u);
}

TEST_F(RunTimeError, FatalReportAppendsOneRecordAndExitsWithOne) {
    vela::test::WriteFileText(dir_ / "error.lst", "earlier record\n\n");
    EXPECT_EXIT(
        {
            vela::test::EnterDeathTestFolder();
            static StderrErrorDisplay display;
            SetRunTimeErrorDisplay(&display);
            ReportError("compress", 42, "streamBad!", true);
        },
        testing::ExitedWithCode(1), "Run-time error\nFile compress, line 42:\nstreamBad!\nPlease report to .*\nApplication will be closed\\.");
    std::string log = Log();
    ASSERT_EQ(log.rfind("earlier record\n\n", 0), 0u) << log;
    std::vector<std::string> records = LogRecords(log.substr(16));
    ASSERT_EQ(records.size(), 1u) << log;
    EXPECT_EQ(records[0], std::string("File compress, line 42:\nstreamBad!\nPlease report to ") + kSupportAddress);
}

TEST_F(RunTimeError, ReportDuringAReportIsCritical) {
    // The box of the first report raises a second one: that one is critical.
    EXPECT_EXIT(
        {
            vela::test::EnterDeathTestFolder();
            struct Reentrant : StderrErrorDisplay {
                Answer ShowBox(const char* caption, const char* text, unsigned style) override {
                    StderrErrorDisplay::ShowBox(caption, text, style);
                    if (captions.size() == 1)
                        ReportError("acollect", 2, "second", true);
                    return Ok;
                }
            };
            static Reentrant display;
            SetRunTimeErrorDisplay(&display);
            ReportError("acollect", 1, "first", true);
        },
        testing::ExitedWithCode(3), "Critical run-time error!\nFile acollect, line 2:\nsecond\n.*\nApplication will be terminated\\.");
    std::vector<std::string> records = LogRecords(Log());
    ASSERT_EQ(records.size(), 2u) << Log();
    EXPECT_NE(records[0].find("first"), std::string::npos);
    EXPECT_NE(records[1].find("second"), std::string::npos);
}

TEST_F(RunTimeError, NonFatalReportAnsweredNoReturnsAndClearsTheFlag) {
    StderrErrorDisplay display(RunTimeErrorDisplay::No);
    SetRunTimeErrorDisplay(&display);
    ReportError("compress", 7, "gradedSort", false);
    EXPECT_FALSE(reportInProgress);
    ReportError("compress", 8, "spotBlock", false);
    ASSERT_EQ(display.captions.size(), 2u);
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(display.captions[i], "Run-time error");
        EXPECT_EQ(display.styles[i], 0x12014u);
        EXPECT_NE(display.texts[i].find("\nClose application?"), std::string::npos);
    }
    EXPECT_EQ(display.beeps, 2);
    EXPECT_EQ(LogRecords(Log()).size(), 2u);
}

TEST_F(RunTimeError, NonFatalReportAnsweredYesExits) {
    EXPECT_EXIT(
        {
            vela::test::EnterDeathTestFolder();
            static StderrErrorDisplay display(RunTimeErrorDisplay::Yes);
            SetRunTimeErrorDisplay(&display);
            ReportError("compress", 7, "gradedSort", false);
        },
        testing::ExitedWithCode(1), "Close application\\?");
}

TEST_F(RunTimeError, BoxShowsOemLettersConvertedWhileTheLogKeepsTheBytes) {
    // "При" in the OEM code page 866.
    const char oem[] = "\x8f\xe0\xa8";
#ifdef _WIN32
    const std::string shown = "\xcf\xf0\xe8";  // the same word in the ANSI code page 1251
#else
    const std::string shown = "\xd0\x9f\xd1\x80\xd0\xb8";  // and in UTF-8
#endif
    StderrErrorDisplay display(RunTimeErrorDisplay::No);
    SetRunTimeErrorDisplay(&display);
    ReportError("compress", 1, oem, false);
    ASSERT_EQ(display.texts.size(), 1u);
    EXPECT_NE(display.texts[0].find("\n" + shown + "\n"), std::string::npos) << display.texts[0];
    EXPECT_NE(LogRecords(Log())[0].find(std::string("\n") + oem + "\n"), std::string::npos);
}

class LoudProvider : public TResourceProvider {
public:
    char* ReadResource(const char*, int32_t, int32_t, int32_t) override { return nullptr; }
    int32_t Release() override {
        std::fprintf(stderr, "provider released\n");
        return TResourceProvider::Release();
    }
};

TEST_F(RunTimeError, FatalReportReleasesTheProviderBeforeTheBox) {
    EXPECT_EXIT(
        {
            vela::test::EnterDeathTestFolder();
            static StderrErrorDisplay display;
            SetRunTimeErrorDisplay(&display);
            ResourceProvider = new LoudProvider;
            ReportError("compress", 1, "EOF!", true);
        },
        testing::ExitedWithCode(1), "provider released\n\\[box 0x12010\\] Run-time error");

    LoudProvider provider;  // a non-fatal report leaves it alone
    ResourceProvider = &provider;
    StderrErrorDisplay display(RunTimeErrorDisplay::No);
    SetRunTimeErrorDisplay(&display);
    ReportError("compress", 1, "EOF!", false);
    EXPECT_EQ(provider.RefCount(), 1);
    ResourceProvider = nullptr;
}

TEST_F(RunTimeError, FatalHandlerReplacesTheWholeFatalPath) {
    StderrErrorDisplay display;
    SetRunTimeErrorDisplay(&display);
    {
        FatalReportsThrow scope;
        try {
            ReportError("compress", 99, "Compressed stream EOF", true);
            FAIL() << "a fatal report returned";
        } catch (const FatalReportException& e) {
            EXPECT_EQ(e.module(), "compress");
            EXPECT_EQ(e.line(), 99);
            EXPECT_EQ(e.message(), "Compressed stream EOF");
        }
    }
    EXPECT_TRUE(display.captions.empty());
    EXPECT_FALSE(reportInProgress);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "error.lst"));
    // Without the scope the default path is back.
    EXPECT_EQ(SetFatalReportHandler(nullptr), nullptr);
}

}  // namespace
