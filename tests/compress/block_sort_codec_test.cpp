// Block-sorting streams: exact encoder output, round trips, both header forms
// with every block size, progress calls, stream positioning, and damaged
// streams, each ending in its fatal report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compress/block_sort.h"
#include "compress/block_sort_encoder_internal.h"
#include "foundation/fatal_report_exception.h"
#include "test_support.h"

namespace {

using namespace blocksort;
using Bytes = std::vector<uint8_t>;

Bytes Compress(const Bytes& input, ProgressCallback progress = nullptr) {
    MemoryInput in(input.data(), input.size());
    MemoryOutput out;
    blockSortCompress(in, out, progress);
    return out.Take();
}

// Decodes into a heap buffer of exactly capacity bytes (so that an overrun is
// an AddressSanitizer report, not a silent write).
Bytes Decompress(const Bytes& stream, size_t capacity, ProgressCallback progress = nullptr) {
    MemoryInput in(stream.data(), stream.size());
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity == 0 ? 1 : capacity]);
    size_t n = blockSortDecompress(in, capacity == 0 ? nullptr : buffer.get(), capacity, progress);
    return Bytes(buffer.get(), buffer.get() + n);
}

Bytes DecompressToStream(const Bytes& stream) {
    MemoryInput in(stream.data(), stream.size());
    MemoryOutput out;
    uint64_t n = blockSortDecompressToStream(in, out, nullptr);
    EXPECT_EQ(n, out.Bytes().size());
    return out.Take();
}

// The fatal message a decode ends with, or "" when it ends normally.
std::string DecodeFailure(const Bytes& stream, size_t capacity) {
    FatalReportsThrow throws;
    try {
        Decompress(stream, capacity);
    } catch (const FatalReportException& e) {
        EXPECT_EQ(e.module(), "compress");
        return e.message();
    }
    return "";
}

Bytes Hex(const char* hex) {
    Bytes out;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return out;
}

uint64_t Fnv1a(const Bytes& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 0x100000001b3ull;
    return h;
}

uint32_t Lcg(uint32_t& x) {
    x = x * 1103515245u + 12345u;
    return x >> 16;
}

Bytes PseudoText(size_t n, uint32_t seed) {
    static const char* const kWords[] = {"the", "codec", "block", "sorts", "rotations", "of", "a", "package",
                                         "and", "writes", "each", "entry", "\n", ",", "installer", "window"};
    Bytes out;
    uint32_t x = seed;
    while (out.size() < n) {
        const char* w = kWords[Lcg(x) % 16];
        out.insert(out.end(), w, w + std::strlen(w));
        out.push_back(' ');
    }
    out.resize(n);
    return out;
}

Bytes RunsBinary(size_t n, uint32_t seed) {
    Bytes out;
    uint32_t x = seed;
    while (out.size() < n) {
        uint8_t b = static_cast<uint8_t>(Lcg(x));
        size_t length = 1 + Lcg(x) % 300;
        out.insert(out.end(), length, b);
    }
    out.resize(n);
    return out;
}

Bytes Random(size_t n, uint32_t seed) {
    Bytes out(n);
    uint32_t x = seed;
    for (auto& b : out)
        b = static_cast<uint8_t>(Lcg(x));
    return out;
}

Bytes Header(char a, char b, char c, char d) {
    return {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), static_cast<uint8_t>(d)};
}

Bytes StreamFromBlocks(const std::vector<Bytes>& blocks, const Bytes& header = Header('R', 'e', 's', 'J'),
                       const std::vector<int64_t>& origins = {}) {
    MemoryOutput out;
    WriteStreamFromBlocks(blocks, header.data(), out, origins);
    return out.Take();
}

int progressCalls = 0;
void CountProgress() {
    progressCalls++;
}

// Streams worked out independently from the format, bit by bit.
TEST(BlockSortStream, EncoderWritesTheExactStream) {
    struct Case {
        const char* name;
        Bytes input;
        const char* stream;
    } cases[] = {
        // One block holding "*": origin word ~0, symbol 42, 259, final bits.
        {"empty", {}, "5265734a7fffffffd56c95ba00"},
        {"one byte", {'a'}, "5265734a7fffffff6333d85a8d00"},
        {"run of four", Bytes(4, 'a'), "5265734a7ffffffd631fa1dd26275000"},
        {"words", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'},
         "5265734a7ffffffde5c66c576aa029216174b4d45c1d0000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Compress(c.input), Hex(c.stream)) << c.name;

    // Longer inputs, by length and FNV-1a hash: text past the first perturbed
    // position (graded sort), runs of every length, and a 0xff at position 8000
    // that the perturbation wraps to 0.
    Bytes wrap = PseudoText(9000, 3);
    wrap[8000] = 0xff;
    struct Hashed {
        const char* name;
        Bytes input;
        size_t size;
        uint64_t hash;
    } hashed[] = {
        {"text", PseudoText(9500, 1), 1127, 0x41c7aea066b75a5bull},
        {"runs", RunsBinary(12000, 2), 327, 0x70b266b4262a33e8ull},
        {"perturbed 0xff", wrap, 1092, 0xa47a7151df128146ull},
    };
    for (const Hashed& c : hashed) {
        Bytes stream = Compress(c.input);
        EXPECT_EQ(stream.size(), c.size) << c.name;
        EXPECT_EQ(Fnv1a(stream), c.hash) << c.name;
        EXPECT_EQ(Decompress(stream, c.input.size()), c.input) << c.name;
    }
    MemoryInput in(wrap.data(), wrap.size());
    EXPECT_EQ(PrepareBlocks(in, 9)[0][8000], 0xff) << "the 0xff sits at the perturbed position";
}

TEST(BlockSortStream, EmptyInputDecodesToNothingWithOneProgressCall) {
    Bytes stream = Compress({});
    progressCalls = 0;
    EXPECT_TRUE(Decompress(stream, 0, CountProgress).empty());
    EXPECT_EQ(progressCalls, 1);
}

TEST(BlockSortStream, RoundTrips) {
    const uint32_t seed = 20240611;
    std::printf("round-trip seed %u\n", seed);
    Bytes periodic;
    while (periodic.size() < 300000)
        periodic.insert(periodic.end(), {'a', 'b', 'c'});
    Bytes repeatedRandom;
    Bytes unit = Random(1000, seed + 1);
    for (int i = 0; i < 300; i++)
        repeatedRandom.insert(repeatedRandom.end(), unit.begin(), unit.end());
    struct Case {
        const char* name;
        Bytes input;
    } cases[] = {
        {"text", PseudoText(120000, seed)},
        {"binary with runs", RunsBinary(200000, seed + 2)},
        {"periodic", periodic},
        {"repeated random block", repeatedRandom},
        {"all equal", Bytes(1 << 20, 0x00)},
        {"all 0xff", Bytes(70000, 0xff)},
        {"random", Random(300000, seed + 3)},
        {"end bytes", Bytes(5000, '*')},
    };
    for (const Case& c : cases) {
        Bytes stream = Compress(c.input);
        EXPECT_EQ(Decompress(stream, c.input.size()), c.input) << c.name;
        EXPECT_EQ(DecompressToStream(stream), c.input) << c.name;
        // Deterministic output.
        EXPECT_EQ(Compress(c.input), stream) << c.name;
    }
}

TEST(BlockSortStream, InputJustPastOneBlockTakesTwoBlocks) {
    // 899981 prepared bytes fill a block that is not the last; "*" comes alone.
    Bytes input(899981);
    uint32_t x = 77;
    for (size_t i = 0; i < input.size(); i++) {
        input[i] = static_cast<uint8_t>(Lcg(x));
        if (i > 0 && input[i] == input[i - 1])
            input[i] ^= 1;
    }
    progressCalls = 0;
    Bytes stream = Compress(input, CountProgress);
    EXPECT_EQ(progressCalls, 2 + 27) << "first run of each block, then every 32769th";
    progressCalls = 0;
    EXPECT_EQ(Decompress(stream, input.size(), CountProgress), input);
    EXPECT_EQ(progressCalls, 2);

    input.pop_back();
    progressCalls = 0;
    EXPECT_EQ(Decompress(Compress(input), input.size(), CountProgress), input);
    EXPECT_EQ(progressCalls, 1);
}

TEST(BlockSortStream, BlocksAroundTheDecodersSmallTableDecode) {
    // The decoder starts each stream in a table of 65536 entries and moves to
    // the full-size one when a block outgrows it, by one symbol or inside a
    // zero run; later blocks, short or long, stay there. Blocks without runs of
    // four decode to themselves.
    auto noRuns = [](size_t n, uint32_t seed) {
        Bytes out = Random(n, seed);
        for (size_t i = 1; i < n; i++)
            if (out[i] == out[i - 1] || out[i] == '*')
                out[i] = static_cast<uint8_t>(out[i - 1] + 1 == '*' ? '+' : out[i - 1] + 1);
        out[0] = 'a';
        return out;
    };
    Bytes periodic;
    while (periodic.size() < 70000)
        periodic.insert(periodic.end(), {'a', 'b', 'c'});
    struct Case {
        const char* name;
        std::vector<Bytes> blocks;
    } cases[] = {
        {"fills the small table", {noRuns(65536, 1), {'*'}}},
        {"one past the small table", {noRuns(65537, 2), {'*'}}},
        {"moves inside a zero run, then short and long blocks", {periodic, {'x', 'y'}, noRuns(200000, 3), {'*'}}},
        {"short, then long", {{'q', 'r'}, noRuns(900000, 4), {'s', '*'}}},
    };
    for (const Case& c : cases) {
        Bytes expected;
        for (const Bytes& block : c.blocks)
            expected.insert(expected.end(), block.begin(), block.end());
        expected.pop_back();
        Bytes stream = StreamFromBlocks(c.blocks);
        EXPECT_EQ(Decompress(stream, expected.size()), expected) << c.name;
        EXPECT_EQ(DecompressToStream(stream), expected) << c.name;
        EXPECT_EQ(DecodeFailure(stream, expected.size() - 1), "Block overrun during decompression") << c.name;
    }
}

TEST(BlockSortStream, EncoderProgressFollowsRuns) {
    // Runs of one byte each: n input bytes and the end marker make n + 1 runs.
    struct Case {
        size_t bytes;
        int calls;
    } cases[] = {{0, 1}, {32768, 1}, {32769, 2}, {65537, 2}, {65538, 3}};
    for (const Case& c : cases) {
        Bytes input(c.bytes);
        for (size_t i = 0; i < input.size(); i++)
            input[i] = static_cast<uint8_t>(i % 2 ? 'a' : 'b');
        progressCalls = 0;
        Compress(input, CountProgress);
        EXPECT_EQ(progressCalls, c.calls) << c.bytes;
    }
}

TEST(BlockSortStream, BothHeaderFormsWithEveryBlockSize) {
    Bytes input = PseudoText(250000, 5);
    for (int k = 1; k <= 9; k++) {
        MemoryInput in(input.data(), input.size());
        auto blocks = PrepareBlocks(in, k);
        EXPECT_EQ(blocks.size(), k == 1 ? 3u : k == 2 ? 2u : 1u) << k;
        for (const Bytes& header :
             {Header('R', 'e', 's', static_cast<char>('A' + k)), Header('B', 'Z', '0', static_cast<char>('0' + k))}) {
            Bytes stream = StreamFromBlocks(blocks, header);
            progressCalls = 0;
            EXPECT_EQ(Decompress(stream, input.size(), CountProgress), input) << k << " " << header[0];
            EXPECT_EQ(progressCalls, static_cast<int>(blocks.size()));
            if (k == 9 && header[0] == 'R') {
                EXPECT_EQ(stream, Compress(input)) << "the encoder's own choice";
            }
        }
    }
}

TEST(BlockSortStream, OtherHeadersProduceNothingAndLeaveTheInputAfterThem) {
    const Bytes body = Compress(PseudoText(100, 1));
    for (const Bytes& header : {Header('R', 'e', 's', 'A'), Header('R', 'e', 's', 'K'), Header('B', 'Z', '0', '0'),
                                Header('B', 'Z', 'h', '9'), Header('r', 'e', 's', 'J'), Header(0, 0, 0, 0)}) {
        Bytes stream = header;
        stream.insert(stream.end(), body.begin() + 4, body.end());
        MemoryInput in(stream.data(), stream.size());
        uint8_t buffer[16];
        std::memset(buffer, 0x5a, sizeof buffer);
        progressCalls = 0;
        EXPECT_EQ(blockSortDecompress(in, buffer, sizeof buffer, CountProgress), 0u);
        EXPECT_EQ(buffer[0], 0x5a);
        EXPECT_EQ(progressCalls, 0);
        EXPECT_EQ(in.Tell(), 4);
        EXPECT_FALSE(in.Eof() || in.Error());
    }
}

TEST(BlockSortStream, DecoderLeavesTheInputRightAfterTheStream) {
    Bytes input = PseudoText(30000, 9);
    Bytes stream = Compress(input);
    Bytes followed = stream;
    followed.insert(followed.end(), {'n', 'e', 'x', 't'});
    MemoryInput in(followed.data(), followed.size());
    Bytes out(input.size());
    EXPECT_EQ(blockSortDecompress(in, out.data(), out.size(), nullptr), input.size());
    EXPECT_EQ(in.Tell(), static_cast<int64_t>(stream.size()));
    EXPECT_EQ(in.GetByte(), 'n');

    // The same through a file, starting in the middle of it, and after a damaged
    // stream the flags are clear so the caller can seek and read again.
    vela::test::TempDir dir;
    Bytes file = {'p', 'r', 'e'};
    file.insert(file.end(), followed.begin(), followed.end());
    vela::test::WriteFileBytes(dir / "s.bin", file.data(), file.size());
    FileInput fin((dir / "s.bin").string().c_str());
    ASSERT_TRUE(fin.IsOpen());
    ASSERT_TRUE(fin.Seek(3));
    EXPECT_EQ(blockSortDecompress(fin, out.data(), out.size(), nullptr), input.size());
    EXPECT_EQ(out, input);
    EXPECT_EQ(fin.Tell(), static_cast<int64_t>(3 + stream.size()));
    ASSERT_TRUE(fin.Seek(3));
    {
        FatalReportsThrow throws;
        EXPECT_THROW(blockSortDecompress(fin, out.data(), 10, nullptr), FatalReportException);
    }
    EXPECT_FALSE(fin.Eof() || fin.Error());
    ASSERT_TRUE(fin.Seek(3));
    EXPECT_EQ(blockSortDecompress(fin, out.data(), out.size(), nullptr), input.size());
}

TEST(BlockSortDamaged, StreamsEndWithTheirFatalReport) {
    const Bytes input = PseudoText(20000, 4);
    const Bytes good = Compress(input);
    ASSERT_EQ(DecodeFailure(good, input.size()), "");

    struct Case {
        const char* name;
        Bytes stream;
        size_t capacity;
        const char* message;
    } cases[] = {
        {"shorter than a header", {'R', 'e'}, 100, "Compressed stream EOF"},
        {"header only", Header('R', 'e', 's', 'J'), 100, "Compressed stream EOF"},
        {"truncated after the origin", Bytes(good.begin(), good.begin() + 9), input.size(),
         "Compressed stream EOF"},
        {"truncated in the middle", Bytes(good.begin(), good.begin() + good.size() / 2), input.size(),
         "Compressed stream EOF"},
        {"last byte missing", Bytes(good.begin(), good.end() - 1), input.size(), "Compressed stream EOF"},
        {"more output than room", good, input.size() - 1, "Block overrun during decompression"},
        {"no room at all", good, 0, "Block overrun during decompression"},
        {"origin equal to the block length", StreamFromBlocks({{'a', 'b', '*'}}, Header('R', 'e', 's', 'J'), {3}),
         100, "Unblock error"},
        {"origin far beyond", StreamFromBlocks({{'a', 'b', '*'}}, Header('R', 'e', 's', 'J'), {0x7ffffff0}), 100,
         "Unblock error"},
        {"empty block", StreamFromBlocks({{}}), 100, "Unblock error"},
        {"missing end byte", StreamFromBlocks({{'a', 'b', 'c'}}), 100, "Unblock error"},
        {"count byte cut off by the block end", StreamFromBlocks({{'a', 'x', 'x', 'x', 'x'}, {'*'}}), 100,
         "Unblock error"},
        {"count byte cut off before the end byte", StreamFromBlocks({{'x', 'x', 'x', 'x', '*'}}), 100,
         "Unblock error"},
        {"block longer than its header allows", StreamFromBlocks({Bytes(100001, 'q')}, Header('B', 'Z', '0', '1')),
         200000, "Block overrun during decompression"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeFailure(c.stream, c.capacity), c.message) << c.name;

    // Every truncation of a stream fails cleanly.
    for (size_t cut = 0; cut < good.size(); cut += 7)
        EXPECT_EQ(DecodeFailure(Bytes(good.begin(), good.begin() + cut), input.size()), "Compressed stream EOF")
            << cut;
}

TEST(BlockSortDamaged, OverlongZeroRunsAreRejected) {
    // A zero run of about 2^40 (or one just past the block) in a k = 1 stream.
    for (int digits : {40, 17}) {
        MemoryOutput out;
        {
            StreamWriter writer(out);
            const Bytes header = Header('R', 'e', 's', 'B');
            writer.Begin(header.data());
            writer.SendOriginWord(~0u);
            for (int i = 0; i < digits; i++)
                writer.SendValue(kRunDigitTwo);
            writer.SendValue(kEndOfBlock);
            writer.Finish();
        }
        EXPECT_EQ(DecodeFailure(out.Bytes(), 1u << 20), "Block overrun during decompression") << digits;
    }
}

// An output that fails after a number of bytes, and an input that fails reading.
class FailingOutput : public ByteOutput {
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

class FailingInput : public ByteInput {
public:
    explicit FailingInput(Bytes data) : data_(std::move(data)) {}

protected:
    size_t ReadSome(void* buffer, size_t size) override {
        size_t n = std::min(size, data_.size() - position_);
        std::memcpy(buffer, data_.data() + position_, n);
        position_ += n;
        if (n < size)
            error_ = true;  // a read failure, not the end
        return n;
    }
    bool SeekTo(int64_t) override { return false; }
    int64_t Position() override { return -1; }

private:
    Bytes data_;
    size_t position_ = 0;
};

TEST(BlockSortDamaged, EncoderReportsStreamFailures) {
    FatalReportsThrow throws;
    Bytes input = PseudoText(100000, 8);
    for (size_t room : {size_t{0}, size_t{3}, size_t{1000}}) {
        MemoryInput in(input.data(), input.size());
        FailingOutput out(room);
        try {
            blockSortCompress(in, out, nullptr);
            ADD_FAILURE() << room;
        } catch (const FatalReportException& e) {
            EXPECT_EQ(e.message(), "EOF!");
        }
        EXPECT_FALSE(out.Error()) << "flags cleared";
    }
    FailingInput in(input);
    MemoryOutput out;
    try {
        blockSortCompress(in, out, nullptr);
        ADD_FAILURE();
    } catch (const FatalReportException& e) {
        EXPECT_EQ(e.message(), "streamBad!");
    }
    EXPECT_FALSE(in.Error());
    // The whole stream was written before the report: it decodes to the input.
    EXPECT_EQ(Decompress(out.Bytes(), input.size()), input);
}

TEST(BlockSortDamaged, DecoderReadsByteByByteFromUnseekableInput) {
    Bytes input = PseudoText(5000, 2);
    Bytes stream = Compress(input);
    stream.push_back('!');
    FailingInput in(stream);  // cannot tell its position: no reading ahead
    Bytes out(input.size());
    EXPECT_EQ(blockSortDecompress(in, out.data(), out.size(), nullptr), input.size());
    EXPECT_EQ(out, input);
    EXPECT_EQ(in.GetByte(), '!');
}

}  // namespace
