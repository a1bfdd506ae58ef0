// The LZ stream format's stated encodings, byte for byte, in both directions.
#include <gtest/gtest.h>

#include <cctype>

#include "lz_test_util.h"

namespace vela::test {
namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Sequence(int first, int count) {
    Bytes bytes;
    for (int k = 0; k < count; k++)
        bytes.push_back(static_cast<uint8_t>(first + k));
    return bytes;
}

// The packets of words * 16 literals of the bytes first, first + 1, ...: every
// control bit is 1, and by the boundary rule the byte of each word's 16th
// literal follows the next word. The last one (first + 16 * words - 1) is left
// for the caller to put behind the next word.
Bytes LiteralWords(int first, int words) {
    Bytes bytes;
    for (int k = 0; k < words; k++) {
        bytes = Concat({bytes, {0xFF, 0xFF}});
        if (k > 0)
            bytes.push_back(static_cast<uint8_t>(first + 16 * k - 1));
        bytes = Concat({bytes, Sequence(first + 16 * k, 15)});
    }
    return bytes;
}

const Bytes kEnd = {0x01, 0x00, 0x00};  // the end item's bytes

struct Encoding {
    const char* name;
    Bytes input;
    Bytes stream;
    bool written;  // the encoder writes exactly this stream (else: decoder only)
};

std::vector<Encoding> Encodings() {
    return {
        // End item alone: bits 0, 1.
        {"empty input", {}, {0x02, 0x00, 0x01, 0x00, 0x00}, true},
        // Bits 1 (literal), 0, 1 (end).
        {"one byte", {0x41}, {0x05, 0x00, 0x41, 0x01, 0x00, 0x00}, true},
        // Literal, then long matches of offset -1: length 256 (L = 255) and 43
        // (L = 42); bits 1, 01, 01, 01 = 0x55.
        {"run of 300 equal bytes", Bytes(300, 0x61),
         {0x55, 0x00, 0x61, 0xFF, 0xF8, 0xFF, 0xFF, 0xF8, 0x2A, 0x01, 0x00, 0x00}, true},
        // 256 distinct bytes, then their first three again: distance 256 takes the
        // long form, offset -256 = lo 0x00, hi 0xF8 | (3 - 2).
        {"distance 256, long form", Concat({Sequence(0, 256), Sequence(0, 3)}),
         Concat({LiteralWords(0, 16), {0x0A, 0x00, 255, 0x00, 0xF9}, kEnd}), true},
        // Distance 255 is the farthest short match: bits 0 0 0 1, d = 256 - 255.
        // Its first bit is the 16th of the word that holds the last 15 literals.
        {"distance 255, short form", Concat({Sequence(0, 255), Sequence(0, 3)}),
         Concat({LiteralWords(0, 15), {0xFF, 0x7F, 239}, Sequence(240, 15), {0x14, 0x00, 0x01}, kEnd}), true},
        // A 2-byte match 256 back is not worth a long match: two literals.
        {"distance 256, two bytes", Concat({Sequence(0, 256), Sequence(0, 2)}),
         Concat({LiteralWords(0, 16), {0x0B, 0x00, 255, 0x00, 0x01}, kEnd}), true},
        // 15 literals, then a match whose first bit is the 16th: the packet ends
        // there and the match's other bits (0, x = 0, y = 1) and its byte follow
        // the next control word. Next word: 0 0 1, end 0 1 = 0x14.
        {"16th bit on a match's first bit", Concat({Sequence('a', 15), Sequence('a', 3)}),
         Concat({{0xFF, 0x7F}, Sequence('a', 15), {0x14, 0x00, 0xF1}, kEnd}), true},
        // 13 literals, then a 4-byte short match at distance 13: bits 0, 0, x = 1
        // fill the word (0x9FFF); y = 0 and the end item go to the next (0x04).
        {"16th bit inside a match", Concat({Sequence('a', 13), Sequence('a', 4)}),
         Concat({{0xFF, 0x9F}, Sequence('a', 13), {0x04, 0x00, 0xF3}, kEnd}), true},
        // 14 literals, then the end item's bits fill the word: the last word
        // holds no bits and is 0.
        {"end item fills the word", Sequence('a', 14),
         Concat({{0xFF, 0xBF}, Sequence('a', 14), {0x00, 0x00}, kEnd}), true},
        // Literal, long item with L = 1 (skipped), literal, end:
        // bits 1, 01, 1, 01 = 0x2D.
        {"skip item", {'a', 'b'}, {0x2D, 0x00, 'a', 0xFF, 0xF8, 0x01, 'b', 0x01, 0x00, 0x00}, false},
        // Short match d = 0 means distance 256 (bits 0 0 0 0); then a long match
        // with L = 9 (length 10) at offset -258 (lo 0xFE, hi 0xF0): bits 0 1;
        // end 0 1. Word 0xA0.
        {"short match d = 0, long match with L", Concat({Sequence(0, 256), Sequence(0, 2), Sequence(0, 10)}),
         Concat({LiteralWords(0, 16), {0xA0, 0x00, 255, 0x00, 0xFE, 0xF0, 0x09}, kEnd}), false},
    };
}

class LzEncodingTest : public ::testing::TestWithParam<Encoding> {};

TEST_P(LzEncodingTest, EncodesAndDecodes) {
    const Encoding& encoding = GetParam();
    if (encoding.written) {
        EXPECT_EQ(LzCompress(encoding.input), encoding.stream);
    }
    EXPECT_EQ(LzDecompress(encoding.stream, encoding.input.size()), encoding.input);
}

INSTANTIATE_TEST_SUITE_P(StatedEncodings, LzEncodingTest, ::testing::ValuesIn(Encodings()),
                         [](const auto& testCase) {
                             std::string name;
                             for (char c : std::string(testCase.param.name))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace
}  // namespace vela::test
