// The LZ encoder: its output must be exactly the stream the format's encoding
// procedure gives (compared with the plain reference encoder), it must decode
// back to the input, and failures of its streams must be reported.
#include <gtest/gtest.h>

#include "lz_reference_encoder.h"
#include "lz_test_util.h"

namespace vela::test {
namespace {

struct EncoderCase {
    const char* name;
    Bytes input;
};

// Bytes drawn from the first `alphabet` values: many matches of equal length,
// so the choice among them (the most recent wins) shows.
Bytes SmallAlphabet(size_t size, unsigned alphabet, uint32_t seed) {
    Bytes bytes = RandomBytes(size, seed);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>('a' + b % alphabet);
    return bytes;
}

// Text with random bytes and zero runs mixed in, like a program file.
Bytes Mixed(size_t size, uint32_t seed) {
    Bytes text = TextBytes(size, seed), noise = RandomBytes(size, seed + 1), runs = RunBytes(size, seed + 2);
    Bytes bytes(size);
    for (size_t i = 0; i < size; i++)
        bytes[i] = (i / 700) % 3 == 0 ? text[i] : (i / 700) % 3 == 1 ? noise[i] : runs[i];
    return bytes;
}

// The window holds 17664 bytes and slides by 8192 once the position passes
// 16384: sizes around those points and inputs of several slides.
std::vector<EncoderCase> EncoderCases() {
    return {
        {"two_bytes_equal", {7, 7}},
        {"three_bytes_equal", {7, 7, 7}},
        {"random_100", RandomBytes(100, 1)},
        {"random_16385", RandomBytes(16385, 2)},
        {"random_16386", RandomBytes(16386, 3)},
        {"random_17664", RandomBytes(17664, 4)},
        {"random_17665", RandomBytes(17665, 5)},
        {"random_60000", RandomBytes(60000, 6)},
        {"text_1000", TextBytes(1000, 7)},
        {"text_60000", TextBytes(60000, 8)},
        {"runs_50000", RunBytes(50000, 9)},
        {"zeros_40000", Bytes(40000, 0)},
        {"period_2", PeriodicBytes(30000, 2, 10)},
        {"period_3", PeriodicBytes(30000, 3, 11)},
        {"period_255", PeriodicBytes(30000, 255, 12)},
        {"period_256", PeriodicBytes(30000, 256, 13)},
        {"period_257", PeriodicBytes(30000, 257, 14)},
        {"period_1000", PeriodicBytes(40000, 1000, 15)},
        {"period_8191", PeriodicBytes(40000, 8191, 16)},
        {"period_8192", PeriodicBytes(40000, 8192, 17)},
        {"period_8193", PeriodicBytes(40000, 8193, 18)},
        {"alphabet_2", SmallAlphabet(20000, 2, 19)},
        {"alphabet_4", SmallAlphabet(30000, 4, 20)},
        {"mixed_70000", Mixed(70000, 21)},
    };
}

class LzEncoderTest : public ::testing::TestWithParam<EncoderCase> {};

int progressCalls = 0;
void CountProgress() { progressCalls++; }

TEST_P(LzEncoderTest, WritesTheReferenceStreamAndRoundTrips) {
    const Bytes& input = GetParam().input;
    int slides = 0;
    Bytes expected = ReferenceLzCompress(input, &slides);
    progressCalls = 0;
    Bytes stream = LzCompress(input, CountProgress);
    ASSERT_EQ(stream.size(), expected.size());
    size_t differs = std::mismatch(stream.begin(), stream.end(), expected.begin()).first - stream.begin();
    EXPECT_EQ(differs, stream.size()) << "first difference at stream byte " << differs;
    EXPECT_EQ(progressCalls, slides) << "progress is called once per window slide";
    EXPECT_EQ(LzDecompress(stream, input.size()), input);
}

INSTANTIATE_TEST_SUITE_P(Inputs, LzEncoderTest, ::testing::ValuesIn(EncoderCases()),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// Accepts `room` bytes, then fails every write.
class FailingOutput final : public ByteOutput {
public:
    explicit FailingOutput(size_t room) : room_(room) {}
    bool Write(const void*, size_t size) override {
        if (size > room_) {
            error_ = true;
            return false;
        }
        room_ -= size;
        return true;
    }
    bool Flush() override { return !error_; }

private:
    size_t room_;
};

// Delivers `good` bytes of data, then reports a read error.
class FailingInput final : public ByteInput {
public:
    FailingInput(const Bytes& data, size_t good) : data_(data), good_(good) {}

protected:
    size_t ReadSome(void* buffer, size_t size) override {
        size_t n = std::min(size, good_ - position_);
        std::memcpy(buffer, data_.data() + position_, n);
        position_ += n;
        if (n < size)
            error_ = true;
        return n;
    }
    bool SeekTo(int64_t) override { return false; }
    int64_t Position() override { return static_cast<int64_t>(position_); }

private:
    const Bytes& data_;
    size_t good_;
    size_t position_ = 0;
};

TEST(LzEncoderFailures, WriteAndReadFailuresReturnMinusOne) {
    Bytes text = TextBytes(200000, 30);
    size_t full = LzCompress(text).size();
    for (size_t room : {size_t{0}, size_t{4}, full / 2, full - 1}) {
        MemoryInput in(text.data(), text.size());
        FailingOutput out(room);
        EXPECT_EQ(lzCompress(in, out, nullptr), -1) << "room for " << room << " of " << full << " bytes";
    }
    // A read error is not the end of the input: the stream would silently miss
    // the rest of it.
    for (size_t good : {size_t{0}, size_t{1000}, size_t{100000}}) {
        FailingInput in(text, good);
        MemoryOutput out;
        EXPECT_EQ(lzCompress(in, out, nullptr), -1) << "read error after " << good << " bytes";
        EXPECT_TRUE(in.Error());
    }
}

TEST(LzEncoderFailures, NextCallStartsAfresh) {
    // An aborted call leaves nothing behind for the next one.
    Bytes text = TextBytes(50000, 31);
    MemoryInput in(text.data(), text.size());
    FailingOutput out(100);
    ASSERT_EQ(lzCompress(in, out, nullptr), -1);
    EXPECT_EQ(LzCompress(text), ReferenceLzCompress(text));
}

}  // namespace
}  // namespace vela::test
