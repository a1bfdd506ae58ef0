// The block-sorting codec: streams of the Burrows-Wheeler family that hold every
// package entry and the package directory.
//
// Decoder and encoder live in separate translation units (block_sort_decoder.cpp,
// block_sort_encoder.cpp) and separate libraries (vela_compress_decode,
// vela_compress_encode), so that a program that only reads packages links no
// encoder code.
//
// Damaged streams are fatal run-time errors of the module "compress"
// (foundation/run_time_error.h): the installer ends with a report; the packaging
// tool installs a handler that turns them into exceptions.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/byte_stream.h"
#include "foundation/progress.h"

// Decodes one stream from input (positioned at its first header byte) into
// destination, never writing more than capacity bytes: a stream that would
// produce more is damaged. Returns the number of bytes written. A stream whose
// header is not of this format produces nothing and returns 0 without a report.
// progress is called once before each block. On return the input is positioned
// after the stream and its error and end flags are cleared.
size_t blockSortDecompress(ByteInput& input, uint8_t* destination, size_t capacity, ProgressCallback progress);

// Decodes a whole stream of unknown length into output. Returns the number of
// bytes written (0 for a header not of this format).
uint64_t blockSortDecompressToStream(ByteInput& input, ByteOutput& output, ProgressCallback progress);

// Encodes input from its current position to its end as one stream (block size
// 9) written to output at its current position. progress is called while blocks
// are loaded. On return the flags of both streams are cleared.
void blockSortCompress(ByteInput& input, ByteOutput& output, ProgressCallback progress);
