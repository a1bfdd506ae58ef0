// The LZ stream codec: a small LZ77 coder with an 8 KiB window, 16-bit control
// words and byte-aligned match fields; the archive's second codec.
//
// Decoder and encoder live in separate translation units (lz_decoder.cpp,
// lz_encoder.cpp) and libraries, like the block-sorting codec.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/byte_stream.h"
#include "foundation/progress.h"

// Encodes input to its end as one LZ stream. Returns the number of bytes
// written, or -1 when a write to output failed or reading the input failed (the
// stream is then incomplete or does not hold the whole input; after a read
// error the input keeps its error flag).
int64_t lzCompress(ByteInput& input, ByteOutput& output, ProgressCallback progress);

// Decodes one LZ stream up to its end item into destination, never writing more
// than capacity bytes. Returns the number of bytes written. A damaged stream
// (one that ends before its end item, a match reaching before the start of the
// output, more output than capacity) is reported like a damaged block-sorting
// stream. progress is called after every 8192 bytes moved to destination.
size_t lzDecompress(ByteInput& input, uint8_t* destination, size_t capacity, ProgressCallback progress);

// Decodes a whole stream of unknown length into output; returns the bytes written.
uint64_t lzDecompressToStream(ByteInput& input, ByteOutput& output, ProgressCallback progress);
