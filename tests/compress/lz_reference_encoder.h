// A plain LZ stream encoder for the tests: the encoding procedure exactly as the
// format defines it, step by step, with no attempt at speed (single-byte chains
// walked to their end). The real encoder must produce the same bytes.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vela::test {

inline std::vector<uint8_t> ReferenceLzCompress(const std::vector<uint8_t>& input, int* slides = nullptr) {
    constexpr int kWindow = 17664;
    std::vector<uint8_t> window(kWindow);
    std::vector<int16_t> link(kWindow, -1);
    int16_t head[256];
    size_t consumed = 0;  // input bytes read into the window so far
    auto read = [&](int at, int count) {
        int got = static_cast<int>(std::min<size_t>(static_cast<size_t>(count), input.size() - consumed));
        if (got > 0)
            std::memcpy(window.data() + at, input.data() + consumed, static_cast<size_t>(got));
        consumed += static_cast<size_t>(got);
        return got;
    };

    std::vector<uint8_t> stream;
    uint16_t control = 0;
    int bits = 0;
    std::vector<uint8_t> pending;
    auto emitBit = [&](unsigned bit) {
        control = static_cast<uint16_t>((bit << 15) | (control >> 1));
        if (++bits == 16) {
            stream.push_back(static_cast<uint8_t>(control));
            stream.push_back(static_cast<uint8_t>(control >> 8));
            stream.insert(stream.end(), pending.begin(), pending.end());
            pending.clear();
            control = 0;
            bits = 0;
        }
    };
    auto emitByte = [&](int byte) { pending.push_back(static_cast<uint8_t>(byte)); };
    auto insert = [&](int p) {
        link[p] = head[window[p]];
        head[window[p]] = static_cast<int16_t>(p);
    };

    int n = read(0, kWindow);
    std::fill(head, head + 256, int16_t{-1});
    link[0] = -1;
    head[window[0]] = 0;
    if (n > 0) {
        emitBit(1);
        emitByte(window[0]);
        for (int i = 1; i < n; i++) {
            insert(i);
            int m = std::min(n - i, 256);
            int lowest = i > 8192 ? i - 8192 : 0;
            int g = 0;
            int best = -1;
            for (int c = link[i]; c >= 0 && c >= lowest; c = link[c]) {
                int length = 1;
                while (length < m && window[i + length] == window[c + length])
                    length++;
                if (length > g) {
                    g = length;
                    best = c;
                    if (length == m)
                        break;
                }
            }
            int e = best - i;
            if (g < 2 || (e < -255 && g < 3)) {
                emitBit(1);
                emitByte(window[i]);
            } else {
                emitBit(0);
                int start = i;
                for (int p = start + 1; p <= start + g - 1; p++)
                    insert(p);
                i = start + g - 1;
                if (g <= 5 && e >= -255) {
                    emitBit(0);
                    emitBit(((g - 2) >> 1) & 1);
                    emitBit((g - 2) & 1);
                    emitByte(e & 0xFF);
                } else {
                    emitBit(1);
                    emitByte(e & 0xFF);
                    if (g <= 9) {
                        emitByte(((e >> 5) & 0xF8) | (g - 2));
                    } else {
                        emitByte((e >> 5) & 0xF8);
                        emitByte(g - 1);
                    }
                }
            }
            if (i > 16384) {
                if (slides != nullptr)
                    ++*slides;
                for (int16_t& h : head)
                    h = static_cast<int16_t>(h < 8192 ? -1 : h - 8192);
                for (int p = 8192; p < n; p++) {
                    window[p - 8192] = window[p];
                    link[p - 8192] = static_cast<int16_t>(link[p] < 8192 ? -1 : link[p] - 8192);
                }
                n -= 8192;
                n += read(n, kWindow - n);
                i -= 8192;
            }
        }
    }
    emitBit(0);
    emitBit(1);
    emitByte(0x01);
    emitByte(0x00);
    emitByte(0x00);
    if (bits > 0)
        control = static_cast<uint16_t>(control >> (16 - bits));
    stream.push_back(static_cast<uint8_t>(control));
    stream.push_back(static_cast<uint8_t>(control >> 8));
    stream.insert(stream.end(), pending.begin(), pending.end());
    return stream;
}

}  // namespace vela::test
