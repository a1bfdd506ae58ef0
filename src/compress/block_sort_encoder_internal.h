// The block-sorting encoder's parts, for the encoder itself and for the tests,
// which drive them directly: the prepared blocks of an input, the rotation sort
// with its three methods, and a symbol-level stream writer that also writes the
// header forms and block sizes the encoder itself never chooses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "compress/block_sort_format.h"
#include "foundation/byte_stream.h"
#include "foundation/progress.h"

namespace blocksort {

// ---- Loading -----------------------------------------------------------------

// Reads an input in chunks for the block loader.
class RunReader {
public:
    explicit RunReader(ByteInput& input) : input_(input) {}
    // The next run of equal bytes (at most 255 long); false at the end of input.
    bool NextRun(uint8_t& byte, int& length);

private:
    bool Fill();
    ByteInput& input_;
    size_t next_ = 0;
    size_t end_ = 0;
    bool ended_ = false;
    uint8_t chunk_[1 << 15];
};

// Loads the next block (runs coded, end byte appended after the input) into
// block, which has room for k * 100000 bytes. Calls progress for the block's
// first run and then for every 32769th. Returns true when this is the last block.
bool LoadBlock(RunReader& reader, int k, uint8_t* block, uint32_t& n, ProgressCallback progress);

// All prepared blocks of an input (for tests).
std::vector<std::vector<uint8_t>> PrepareBlocks(ByteInput& input, int k);

// ---- Sorting -----------------------------------------------------------------

enum class SortMethod {
    // Shell sort up to 1024 bytes; above, the bucket sort with a work budget,
    // prefix doubling when the budget runs out, and for blocks with equal
    // rotations the graded sort with a budget (then prefix doubling), so that
    // the order among equal rotations is the graded sort's.
    Automatic,
    ShellSort,
    GradedSort,  // without a budget
    Doubling,    // prefix doubling only
    BucketSort,  // without a budget; blocks with equal rotations as Automatic
};

inline constexpr uint32_t kShellSortMaxLength = 1024;
// Work the graded sort may spend on a block, in 16-byte comparison steps per
// block byte, before the block is sorted by prefix doubling instead.
inline constexpr uint64_t kGradedWorkPerByte = 16;
// The same for the bucket sort (a unit is a 16-byte comparison step or four
// words read in splitting a range).
inline constexpr uint64_t kBucketWorkPerByte = 16;

struct SortOutcome {
    bool doubled = false;     // the block ended up sorted by prefix doubling
    uint64_t gradedWork = 0;  // comparison steps the graded (or bucket) sort spent
    bool equalRotations = false;  // found equal rotations (sorted the graded sort's way)
};

// Sorts the rotations of a block of n bytes (n >= 1). words holds n + 16 entries,
// the block's bytes in bits 24-31 of words 0 .. n - 1 (the lower bits are working
// space); sortVector holds n; buckets holds 65537. On return sortVector lists
// the block's positions in the order of their rotations and bits 24-31 of the
// words still hold the bytes.
SortOutcome SortRotations(uint32_t* words, uint32_t* sortVector, uint32_t* buckets, uint32_t n,
                          SortMethod method = SortMethod::Automatic);

// Convenience for tests: sorts the rotations of the given bytes.
std::vector<uint32_t> SortRotationsOf(const std::vector<uint8_t>& block, SortMethod method,
                                      SortOutcome* outcome = nullptr);

// ---- Writing -----------------------------------------------------------------

class BitWriter;
class ArithEncoder;

// Writes one stream symbol by symbol.
class StreamWriter {
public:
    explicit StreamWriter(ByteOutput& output);
    ~StreamWriter();
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    // Writes the four header bytes and starts the coder.
    void Begin(const uint8_t header[4]);
    // Codes a block's origin word (origin + 1, or the complement of the origin for
    // the last block) and resets the block models.
    void SendOriginWord(uint32_t word);
    // Codes one block symbol (1 .. 255, 257, 258, 259).
    void SendValue(int value);
    // Codes a zero run of length m >= 1 as its bijective base-2 digits.
    void SendZeroRun(uint64_t m);
    // Codes a transformed block (move-to-front, zero runs) and its end symbol.
    void SendBlock(const uint8_t* lastColumn, uint32_t n);
    // Codes the coder's final bits, pads to a byte and flushes the output.
    void Finish();

private:
    BitWriter* bits_;
    ArithEncoder* coder_;
    ArithModel originModel_;
    BlockModels models_;
};

// The digits (kRunDigitOne / kRunDigitTwo) of a zero run of length m, most
// significant first.
std::vector<int> ZeroRunDigits(uint64_t m);

// Writes a stream from prepared blocks with any header; origins[i] replaces
// block i's origin when given (for damaged-stream tests). Uses the encoder's own
// perturbation, sort and coding.
void WriteStreamFromBlocks(const std::vector<std::vector<uint8_t>>& blocks, const uint8_t header[4],
                           ByteOutput& output, const std::vector<int64_t>& origins = {});

}  // namespace blocksort
