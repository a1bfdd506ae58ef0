// Fuzz target: decode any bytes as a block-sorting stream. The first three bytes
// (little-endian) say how many output bytes the caller expects; exactly that much
// memory is allocated, so a write beyond it is caught by AddressSanitizer. The
// same stream is also decoded to a stream without a limit, and the two results
// must agree: the same bytes when the unlimited output fits, an overrun report
// when it does not, a report from both when the stream itself is damaged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "compress/block_sort.h"
#include "foundation/byte_stream.h"
#include "foundation/fatal_report_exception.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const size_t capacity = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8 |
                            static_cast<size_t>(data[2]) << 16;
    data += 3;
    size -= 3;
    FatalReportsThrow fatalReportsThrow;

    std::unique_ptr<uint8_t[]> output(new uint8_t[capacity]);
    std::string boundedFailure;
    size_t produced = 0;
    {
        MemoryInput in(data, size);
        try {
            produced = blockSortDecompress(in, output.get(), capacity, nullptr);
            Require(produced <= capacity);
        } catch (const FatalReportException& e) {
            Require(e.module() == "compress");
            boundedFailure = e.message();
        }
        Require(!in.Eof() && !in.Error());
    }

    MemoryOutput unbounded;
    std::string unboundedFailure;
    {
        MemoryInput in(data, size);
        try {
            blockSortDecompressToStream(in, unbounded, nullptr);
        } catch (const FatalReportException& e) {
            unboundedFailure = e.message();
        }
    }
    const auto& all = unbounded.Bytes();
    if (unboundedFailure.empty() && all.size() <= capacity) {
        Require(boundedFailure.empty());
        Require(produced == all.size());
        Require(produced == 0 || std::memcmp(output.get(), all.data(), produced) == 0);
    } else if (unboundedFailure.empty()) {
        Require(boundedFailure == "Block overrun during decompression");
    } else {
        Require(!boundedFailure.empty());
    }
    return 0;
}
