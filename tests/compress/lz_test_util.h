// Helpers shared by the LZ codec tests: whole-buffer calls of the codec and the
// test inputs (all generated from fixed seeds).
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compress/lz.h"
#include "foundation/byte_stream.h"
#include "foundation/fatal_report_exception.h"

namespace vela::test {

using Bytes = std::vector<uint8_t>;

inline Bytes LzCompress(const Bytes& input, ProgressCallback progress = nullptr) {
    MemoryInput in(input.data(), input.size());
    MemoryOutput out;
    int64_t written = lzCompress(in, out, progress);
    if (written != static_cast<int64_t>(out.Bytes().size()))
        ADD_FAILURE() << "lzCompress returned " << written << " for " << out.Bytes().size() << " bytes";
    return out.Take();
}

// Decodes into exactly capacity bytes of memory; a damaged stream fails the test.
inline Bytes LzDecompress(const Bytes& stream, size_t capacity, ProgressCallback progress = nullptr) {
    FatalReportsThrow fatalReportsThrow;
    MemoryInput in(stream.data(), stream.size());
    Bytes out(capacity);
    try {
        out.resize(lzDecompress(in, out.data(), out.size(), progress));
    } catch (const FatalReportException& e) {
        ADD_FAILURE() << "damaged stream: " << e.message();
    }
    return out;
}

// The message of the fatal report that decoding the stream into capacity bytes
// gives, or "" when it decodes cleanly.
inline std::string LzDecompressFailure(const Bytes& stream, size_t capacity) {
    FatalReportsThrow fatalReportsThrow;
    MemoryInput in(stream.data(), stream.size());
    Bytes out(capacity);
    try {
        lzDecompress(in, out.data(), out.size(), nullptr);
    } catch (const FatalReportException& e) {
        EXPECT_EQ(e.module(), "compress");
        return e.message();
    }
    return "";
}

inline Bytes RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random() >> 24);
    return bytes;
}

// Words from a small vocabulary with spaces, punctuation and line breaks: text
// with many repeats at all distances.
inline Bytes TextBytes(size_t size, uint32_t seed) {
    static const char* const kWords[] = {
        "the", "installer", "package", "of", "and", "to", "a", "window", "file", "folder", "program",
        "shortcut", "registry", "key", "is", "in", "setup", "language", "catalogue", "stream", "codec",
        "compress", "entry", "directory", "checksum", "progress", "dialog", "button", "bitmap", "with"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += kWords[random() % (sizeof kWords / sizeof kWords[0])];
        uint32_t r = random() % 16;
        text += r == 0 ? ".\n" : r == 1 ? ", " : " ";
    }
    text.resize(size);
    return Bytes(text.begin(), text.end());
}

// Runs of random length (1 to 400) of random byte values from a small set.
inline Bytes RunBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size)
        bytes.insert(bytes.end(), 1 + random() % 400, static_cast<uint8_t>("\0\xFF a"[random() % 4]));
    bytes.resize(size);
    return bytes;
}

// A random block of the given period repeated.
inline Bytes PeriodicBytes(size_t size, size_t period, uint32_t seed) {
    Bytes block = RandomBytes(period, seed);
    Bytes bytes(size);
    for (size_t i = 0; i < size; i++)
        bytes[i] = block[i % period];
    return bytes;
}

}  // namespace vela::test
