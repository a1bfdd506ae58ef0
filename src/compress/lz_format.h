// The LZ stream format, shared by the LZ encoder and decoder.
//
// A stream is a sequence of packets: a 16-bit little-endian control word whose
// bits are consumed from bit 0 upward, followed by the bytes of the items whose
// bits it holds. Items:
//   1           b         literal b
//   0 0 x y     d         short match, length 2 + 2x + y, distance 256 - d
//   0 1         lo hi     long match, length (hi & 7) + 2 when hi & 7 is not 0,
//                         distance 8192 - ((hi >> 3) * 256 + lo)
//   0 1         lo hi L   (hi & 7 = 0) L >= 2: length L + 1; L = 1: skip; L = 0: end
// When the 16th bit of a word has been consumed the next word follows at once,
// before the bytes (and any further bits) of the item in progress.
#pragma once
#include <cstdint>

namespace lz {

// Encoder window: input is read in pieces up to this size.
constexpr int kWindowSize = 0x4500;  // 17664
// The window slides by kSlide bytes once the position passes kSlideAt.
constexpr int kSlideAt = 16384;
constexpr int kSlide = 8192;
// Farthest match source, and the farthest a short match reaches.
constexpr int kMaxDistance = 8192;
constexpr int kMaxShortDistance = 255;
constexpr int kMaxShortLength = 5;
constexpr int kMaxLongShortLength = 9;  // longest long match without the L byte
constexpr int kMaxLength = 256;

constexpr int kBitsPerWord = 16;

// The decoder moves output on in pieces of this size, calling progress after each.
constexpr int kProgressPiece = 8192;
// ... once more than this many bytes have been produced since the last piece.
constexpr int kProgressPending = 16384;

// The L byte values with a meaning of their own.
constexpr uint8_t kEndMarker = 0;
constexpr uint8_t kSkipMarker = 1;

}  // namespace lz
