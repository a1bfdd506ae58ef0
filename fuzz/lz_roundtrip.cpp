// Fuzz target: encode any bytes as an LZ stream, require exactly the stream of
// the plain reference encoder (the format's encoding procedure step by step),
// and decode it into exactly the input's size.
//
// When the first byte is odd, the rest of the input is spread over 20000 bytes
// (repeated, with the byte values shifted every 4099 bytes) so that the window
// slides and matches reach across the slide.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "../tests/compress/lz_reference_encoder.h"
#include "compress/lz.h"
#include "foundation/byte_stream.h"
#include "foundation/fatal_report_exception.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input(data, data + size);
    if (size >= 2 && (data[0] & 1) != 0) {
        const size_t period = size - 1;
        input.resize(20000);
        for (size_t i = 0; i < input.size(); i++)
            input[i] = static_cast<uint8_t>(data[1 + i % period] + i / 4099);
    }

    MemoryInput in(input.data(), input.size());
    MemoryOutput stream;
    int64_t written = lzCompress(in, stream, nullptr);
    Require(written == static_cast<int64_t>(stream.Bytes().size()));
    Require(stream.Bytes() == vela::test::ReferenceLzCompress(input));

    FatalReportsThrow fatalReportsThrow;
    std::unique_ptr<uint8_t[]> output(new uint8_t[input.size()]);
    MemoryInput encoded(stream.Bytes().data(), stream.Bytes().size());
    try {
        size_t produced = lzDecompress(encoded, output.get(), input.size(), nullptr);
        Require(produced == input.size());
        Require(input.empty() || std::memcmp(output.get(), input.data(), input.size()) == 0);
    } catch (const FatalReportException&) {
        Require(false);
    }
    return 0;
}
