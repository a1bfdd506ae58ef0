// Helpers shared by the test programs.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/run_time_error.h"

namespace vela::test {

// A fresh, empty temporary folder per test, removed with its contents afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Death tests run their statement in a child process. On Windows that child runs
// the whole test again from the start (a new TempDir included), so the folder the
// child must work in is handed over through the environment: the parent calls
// SetDeathTestFolder before EXPECT_EXIT, the statement calls EnterDeathTestFolder.
void SetDeathTestFolder(const std::filesystem::path& folder);
void EnterDeathTestFolder();

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
std::string ReadFileText(const std::filesystem::path& path);
// Text files written in text mode on Windows end their lines with CR LF.
std::string NormalizeLineEnds(std::string text);
void WriteFileBytes(const std::filesystem::path& path, const void* data, size_t size);
inline void WriteFileText(const std::filesystem::path& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}

// A report display for tests: boxes become text on standard error (so death
// tests can match them) and never wait for anyone; Yes/No boxes answer with
// `answer`. The OEM conversion is the platform's real one.
class StderrErrorDisplay : public RunTimeErrorDisplay {
public:
    explicit StderrErrorDisplay(Answer answer = Yes) : answer_(answer) {}
    void Beep() override { beeps++; }
    void OemToDisplay(char* text, int capacity) override { DefaultRunTimeErrorDisplay().OemToDisplay(text, capacity); }
    Answer ShowBox(const char* caption, const char* text, unsigned style) override;

    int beeps = 0;
    std::vector<std::string> captions, texts;
    std::vector<unsigned> styles;

private:
    Answer answer_;
};

}  // namespace vela::test
