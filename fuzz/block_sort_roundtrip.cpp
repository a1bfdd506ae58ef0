// Fuzz target: compress any bytes into a block-sorting stream and decode it into
// a buffer of exactly the input's length; the result must be the input, and a
// buffer one byte short must end in an overrun report, never a write past it.
// The first byte picks a repetition count for the rest, so that long periodic
// inputs (the sort's hard case) are reached from small corpus files.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "compress/block_sort.h"
#include "foundation/byte_stream.h"
#include "foundation/fatal_report_exception.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t repeats = 1 + (data[0] & 0x3f) * (data[0] & 0x3f);
    std::vector<uint8_t> input;
    for (size_t r = 0; r < repeats && input.size() < (1u << 20); r++)
        input.insert(input.end(), data + 1, data + size);
    FatalReportsThrow fatalReportsThrow;

    MemoryInput in(input.data(), input.size());
    MemoryOutput stream;
    blockSortCompress(in, stream, nullptr);

    std::unique_ptr<uint8_t[]> output(new uint8_t[input.size()]);
    {
        MemoryInput s(stream.Bytes().data(), stream.Bytes().size());
        size_t n = blockSortDecompress(s, output.get(), input.size(), nullptr);
        Require(n == input.size());
        Require(input.empty() || std::memcmp(output.get(), input.data(), n) == 0);
        Require(s.Tell() == static_cast<int64_t>(stream.Bytes().size()));
    }
    if (!input.empty()) {
        std::unique_ptr<uint8_t[]> shortOutput(new uint8_t[input.size() - 1]);
        MemoryInput s(stream.Bytes().data(), stream.Bytes().size());
        bool reported = false;
        try {
            blockSortDecompress(s, shortOutput.get(), input.size() - 1, nullptr);
        } catch (const FatalReportException&) {
            reported = true;
        }
        Require(reported);
    }
    return 0;
}
