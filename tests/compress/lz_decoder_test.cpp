// The LZ decoder on damaged streams (each is a fatal report of module
// "compress" and nothing is written beyond the caller's capacity), its
// position in the input afterwards, the stream variant and the progress calls.
#include <gtest/gtest.h>

#include "lz_test_util.h"

namespace vela::test {
namespace {

const char kTruncated[] = "lzDecompress: unexpected end of stream";
const char kBeforeStart[] = "lzDecompress: match before start of output";
const char kOverrun[] = "lzDecompress: output overrun";

struct DamagedCase {
    const char* name;
    Bytes stream;
    size_t capacity;
    const char* message;
};

std::vector<DamagedCase> DamagedCases() {
    const Bytes run300 = LzCompress(Bytes(300, 'a'));
    return {
        {"empty_input", {}, 10, kTruncated},
        {"half_a_control_word", {0x05}, 10, kTruncated},
        {"literal_without_its_byte", {0x05, 0x00}, 10, kTruncated},
        {"long_item_without_L", {0x02, 0x00, 0x01, 0x00}, 10, kTruncated},
        // 16 literals, and no next control word.
        {"full_packet_then_nothing", {0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 100, kTruncated},
        // A skip item does not end the stream.
        {"skip_item_then_nothing", {0x02, 0x00, 0xFF, 0xF8, 0x01}, 10, kTruncated},
        // Short match at distance 1 as the first item.
        {"short_match_first", {0x00, 0x00, 0xFF, 0x01, 0x00, 0x00}, 10, kBeforeStart},
        // Literal, then a long match at offset -2 (lo 0xFE, hi 0xF9: length 3).
        {"long_match_two_back_after_one_byte", {0x15, 0x00, 'a', 0xFE, 0xF9, 0x01, 0x00, 0x00}, 10, kBeforeStart},
        // Literal, then the farthest long match, offset -8192.
        {"offset_minus_8192", {0x15, 0x00, 'a', 0x00, 0x01, 0x01, 0x00, 0x00}, 10, kBeforeStart},
        {"one_byte_into_no_room", {0x05, 0x00, 0x41, 0x01, 0x00, 0x00}, 0, kOverrun},
        {"run_into_one_byte_less", run300, 299, kOverrun},
        {"run_match_longer_than_room", run300, 200, kOverrun},
    };
}

class LzDamagedTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(LzDamagedTest, IsReportedAndStaysWithinCapacity) {
    const DamagedCase& c = GetParam();
    FatalReportsThrow fatalReportsThrow;
    // Guard bytes around the output show any write beyond the capacity.
    const size_t guard = 300;
    Bytes memory(guard + c.capacity + guard, 0xEE);
    MemoryInput in(c.stream.data(), c.stream.size());
    try {
        lzDecompress(in, memory.data() + guard, c.capacity, nullptr);
        ADD_FAILURE() << "no report";
    } catch (const FatalReportException& e) {
        EXPECT_EQ(e.module(), "compress");
        EXPECT_EQ(e.message(), c.message);
    }
    for (size_t k = 0; k < guard; k++) {
        ASSERT_EQ(memory[k], 0xEE) << "written before the output";
        ASSERT_EQ(memory[guard + c.capacity + k], 0xEE) << "written beyond the capacity";
    }
    EXPECT_FALSE(in.Eof());
    EXPECT_FALSE(in.Error());
}

INSTANTIATE_TEST_SUITE_P(Streams, LzDamagedTest, ::testing::ValuesIn(DamagedCases()),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(LzDecoder, EveryTruncationIsReported) {
    Bytes input = TextBytes(3000, 40);
    input.insert(input.end(), 700, 0);
    Bytes stream = LzCompress(input);
    for (size_t size = 0; size < stream.size(); size++) {
        Bytes cut(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(size));
        ASSERT_EQ(LzDecompressFailure(cut, input.size()), kTruncated) << "stream cut to " << size << " bytes";
    }
    // The failures left nothing behind: the whole stream still decodes.
    EXPECT_EQ(LzDecompress(stream, input.size()), input);
}

TEST(LzDecoder, LeavesTheInputJustBehindTheStream) {
    Bytes input = TextBytes(100000, 41);
    Bytes stream = LzCompress(input);
    Bytes followed = stream;
    followed.insert(followed.end(), {'X', 'Y'});
    MemoryInput in(followed.data(), followed.size());
    Bytes out(input.size());
    EXPECT_EQ(lzDecompress(in, out.data(), out.size(), nullptr), input.size());
    EXPECT_EQ(out, input);
    EXPECT_EQ(in.Tell(), static_cast<int64_t>(stream.size()));
    EXPECT_EQ(in.GetByte(), 'X');
    // More room than the stream needs is fine.
    Bytes roomy(input.size() + 1000);
    MemoryInput again(stream.data(), stream.size());
    EXPECT_EQ(lzDecompress(again, roomy.data(), roomy.size(), nullptr), input.size());
}

TEST(LzDecoder, StreamVariantMatchesAndReportsDamage) {
    FatalReportsThrow fatalReportsThrow;
    for (const Bytes& input : {Bytes{}, TextBytes(1000000, 42), RunBytes(600000, 43)}) {
        Bytes stream = LzCompress(input);
        MemoryInput in(stream.data(), stream.size());
        MemoryOutput out;
        EXPECT_EQ(lzDecompressToStream(in, out, nullptr), input.size());
        EXPECT_TRUE(out.Bytes() == input);
    }
    Bytes stream = LzCompress(TextBytes(500000, 44));
    stream.resize(stream.size() - 1);
    MemoryInput in(stream.data(), stream.size());
    MemoryOutput out;
    try {
        lzDecompressToStream(in, out, nullptr);
        ADD_FAILURE() << "no report";
    } catch (const FatalReportException& e) {
        EXPECT_EQ(e.message(), kTruncated);
    }
}

int progressCalls = 0;
void CountProgress() { progressCalls++; }

TEST(LzDecoder, ProgressAfterEvery8192Bytes) {
    // The output moves on in pieces of 8192 bytes once more than 16384 are
    // pending; the last bytes go out with the end item, without a call.
    struct {
        size_t size;
        int calls;
    } cases[] = {{0, 0}, {16384, 0}, {16385, 1}, {24576, 1}, {24577, 2}, {100000, 11}};
    for (const auto& c : cases) {
        Bytes input = Bytes(c.size, 'x');
        Bytes stream = LzCompress(input);
        progressCalls = 0;
        LzDecompress(stream, c.size, CountProgress);
        EXPECT_EQ(progressCalls, c.calls) << c.size << " bytes";
        progressCalls = 0;
        FatalReportsThrow fatalReportsThrow;
        MemoryInput in(stream.data(), stream.size());
        MemoryOutput out;
        lzDecompressToStream(in, out, CountProgress);
        EXPECT_EQ(progressCalls, c.calls) << c.size << " bytes, stream variant";
    }
}

}  // namespace
}  // namespace vela::test
