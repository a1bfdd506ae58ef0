#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vela::test {

TempDir::TempDir() {
    namespace fs = std::filesystem;
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; attempt++) {
        fs::path candidate = fs::temp_directory_path() / ("vela-test-" + std::to_string(random() % 1000000000ULL));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void SetDeathTestFolder(const std::filesystem::path& folder) {
    // In the child the variable already names the parent's folder.
    if (!GTEST_FLAG_GET(internal_run_death_test).empty())
        return;
#ifdef _WIN32
    _putenv_s("VELA_DEATH_TEST_FOLDER", folder.string().c_str());
#else
    setenv("VELA_DEATH_TEST_FOLDER", folder.string().c_str(), 1);
#endif
}

void EnterDeathTestFolder() {
    if (const char* folder = std::getenv("VELA_DEATH_TEST_FOLDER"))
        std::filesystem::current_path(folder);
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string NormalizeLineEnds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

RunTimeErrorDisplay::Answer StderrErrorDisplay::ShowBox(const char* caption, const char* text, unsigned style) {
    captions.push_back(caption);
    texts.push_back(text);
    styles.push_back(style);
    std::fprintf(stderr, "[box %#x] %s\n%s\n", style, caption, text);
    std::fflush(stderr);
    return style == StyleYesNo ? answer_ : Ok;
}

}  // namespace vela::test
