// What the block-sorting decoder and encoder share: the stream's constants, the
// adaptive frequency models, the arithmetic coder's fixed points, the
// perturbation series and the mapping of block symbols onto the models.
#pragma once
#include <cstddef>
#include <cstdint>

namespace blocksort {

// Module name of every report the codec issues.
inline constexpr char kModule[] = "compress";

// Header: "Res" + ('A' + k), or "BZ0" + ('0' + k), k = block size in units of
// 100000 bytes, 1 to 9. The writer always uses "ResJ".
inline constexpr int kBlockUnit = 100000;
inline constexpr int kMaxBlockSizeUnits = 9;
inline constexpr int kWriterBlockSizeUnits = 9;
// A block is closed once, after a run was appended, it holds this many bytes
// below its nominal size or more; a run adds at most five bytes.
inline constexpr int kBlockCloseMargin = 19;
// The byte appended after the last input byte.
inline constexpr uint8_t kEndByte = 0x2A;  // '*'

// Returns the block size k (1 .. 9) of a header, or 0 when the four bytes are
// not a header of this format.
int HeaderBlockSize(const uint8_t header[4]);

// Arithmetic coder: 26 bits of precision.
inline constexpr uint32_t kCodeHalf = 0x2000000;
inline constexpr uint32_t kCodeQuarter = 0x1000000;
inline constexpr int kCodeBits = 26;
inline constexpr uint64_t kMaxBitsOutstanding = 500000000;

// Block symbols beyond the move-to-front positions 1 .. 255.
inline constexpr int kRunDigitTwo = 257;  // bijective base-2 digit 2 of a zero run
inline constexpr int kRunDigitOne = 258;  // digit 1
inline constexpr int kEndOfBlock = 259;

// Adaptive frequency model. freq[0] and freq[numSymbols + 1] stay 0; symbols
// are numbered 1 .. numSymbols.
struct ArithModel {
    int32_t rescaleCount;
    uint32_t totalFreq;
    int32_t numSymbols;
    uint32_t increment;
    uint32_t rescaleLimit;
    const char* modelName;
    uint32_t freq[258];
};

void InitModel(ArithModel& model, const char* name, int numSymbols, uint32_t increment, uint32_t limit);

// Adds the increment to symbol s and halves all frequencies once the total
// passes the model's limit.
inline void UpdateModel(ArithModel& model, int s) {
    model.totalFreq += model.increment;
    model.freq[s] += model.increment;
    if (model.totalFreq > model.rescaleLimit) {
        model.rescaleCount++;
        uint32_t total = 0;
        for (int i = 1; i <= model.numSymbols; i++) {
            model.freq[i] = (model.freq[i] + 1) / 2;
            total += model.freq[i];
        }
        model.totalFreq = total;
    }
}

// The flat model of the origin words, set up once per stream.
void InitOriginModel(ArithModel& model);

// The eight models of a block: "basis" and the seven range models.
enum { kBasis = 0, kRangeModels = 7, kBlockModelCount = 8 };
struct BlockModels {
    ArithModel model[kBlockModelCount];
};
void InitBlockModels(BlockModels& models);

// The range models' rows: range model r (1 .. 7, "2-3" .. "128-255") holds the
// block symbols kRangeLow[r] .. 2 * kRangeLow[r] - 1 as symbols 1 ..; its
// "basis" symbol is r + 3.
inline constexpr int kRangeLow[8] = {0, 2, 4, 8, 16, 32, 64, 128};

// The "basis" symbol of a block symbol (1 .. 11), and for the values 2 .. 255
// the range model (1 .. 7) that follows; 0 for a value outside the alphabet.
struct SymbolRoute {
    uint8_t basis;
    uint8_t range;
};
SymbolRoute RouteOf(int value);

// The perturbation series: positions 8000, 15983, 23983, ... of every block
// whose byte is raised by one before sorting and lowered after unsorting.
class PerturbationSeries {
public:
    uint32_t Position() const { return position_; }
    void Next();

private:
    uint32_t position_ = 8000;
    int selector_ = 1;
};

// Applies delta (+1 or -1 modulo 256) at every series position below n - 1.
void Perturb(uint8_t* block, size_t n, int delta);

}  // namespace blocksort
