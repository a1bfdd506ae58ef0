// Fuzz target: decode any bytes as an LZ stream. The first two bytes (little-
// endian) say how many output bytes the caller expects; exactly that much memory
// is allocated, so a write beyond it is caught by AddressSanitizer. The same
// stream is also decoded without a limit, and the two results must agree: the
// same bytes when the unlimited output fits, an overrun report when it does not,
// a report from both when the stream itself is damaged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "compress/lz.h"
#include "foundation/byte_stream.h"
#include "foundation/fatal_report_exception.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t capacity = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8;
    data += 2;
    size -= 2;
    FatalReportsThrow fatalReportsThrow;

    std::unique_ptr<uint8_t[]> output(new uint8_t[capacity]);
    std::string boundedFailure;
    size_t produced = 0;
    {
        MemoryInput in(data, size);
        try {
            produced = lzDecompress(in, output.get(), capacity, nullptr);
            Require(produced <= capacity);
        } catch (const FatalReportException& e) {
            Require(e.module() == "compress");
            boundedFailure = e.message();
        }
    }

    MemoryOutput all;
    std::string streamFailure;
    {
        MemoryInput in(data, size);
        try {
            uint64_t written = lzDecompressToStream(in, all, nullptr);
            Require(written == all.Bytes().size());
        } catch (const FatalReportException& e) {
            streamFailure = e.message();
        }
    }

    const std::string overrun = "lzDecompress: output overrun";
    if (!streamFailure.empty()) {
        Require(boundedFailure == streamFailure || boundedFailure == overrun);
    } else if (all.Bytes().size() <= capacity) {
        Require(boundedFailure.empty());
        Require(produced == all.Bytes().size());
        Require(produced == 0 || std::memcmp(output.get(), all.Bytes().data(), produced) == 0);
    } else {
        Require(boundedFailure == overrun);
    }
    return 0;
}
