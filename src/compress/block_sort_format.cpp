#include "compress/block_sort_format.h"

#include <cstring>

namespace blocksort {

int HeaderBlockSize(const uint8_t header[4]) {
    if (header[0] == 'R' && header[1] == 'e' && header[2] == 's' && header[3] >= 'B' && header[3] <= 'J')
        return header[3] - 'A';
    if (header[0] == 'B' && header[1] == 'Z' && header[2] == '0' && header[3] >= '1' && header[3] <= '9')
        return header[3] - '0';
    return 0;
}

void InitModel(ArithModel& model, const char* name, int numSymbols, uint32_t increment, uint32_t limit) {
    std::memset(model.freq, 0, sizeof model.freq);
    uint32_t initial = increment == 0 ? 1 : increment;
    model.rescaleCount = 0;
    model.numSymbols = numSymbols;
    model.increment = increment;
    model.rescaleLimit = limit;
    model.modelName = name;
    for (int s = 1; s <= numSymbols; s++)
        model.freq[s] = initial;
    model.totalFreq = initial * static_cast<uint32_t>(numSymbols);
}

void InitOriginModel(ArithModel& model) {
    InitModel(model, "bogus", 256, 0, 256);
}

void InitBlockModels(BlockModels& models) {
    InitModel(models.model[0], "basis", 11, 12, 1000);
    InitModel(models.model[1], "2-3", 2, 4, 1000);
    InitModel(models.model[2], "4-7", 4, 3, 1000);
    InitModel(models.model[3], "8-15", 8, 3, 1000);
    InitModel(models.model[4], "16-31", 16, 3, 1000);
    InitModel(models.model[5], "32-63", 32, 3, 1000);
    InitModel(models.model[6], "64-127", 64, 2, 1000);
    InitModel(models.model[7], "128-255", 128, 1, 1000);
}

SymbolRoute RouteOf(int value) {
    switch (value) {
    case kRunDigitTwo:
        return {1, 0};
    case kRunDigitOne:
        return {2, 0};
    case 1:
        return {3, 0};
    case kEndOfBlock:
        return {11, 0};
    default:
        break;
    }
    if (value < 2 || value > 255)
        return {0, 0};
    int r = 1;
    while (value >= 2 * kRangeLow[r])
        r++;
    return {static_cast<uint8_t>(r + 3), static_cast<uint8_t>(r)};
}

void PerturbationSeries::Next() {
    // The step selector runs through 1, 4, 5, 9, 2, 6, 7, 3 and back to 1.
    static constexpr int kSuccessor[10] = {0, 4, 6, 1, 5, 9, 7, 3, 0, 2};
    selector_ = kSuccessor[selector_];
    position_ += 17 * static_cast<uint32_t>(selector_) + 7915;
}

void Perturb(uint8_t* block, size_t n, int delta) {
    if (n == 0)
        return;
    for (PerturbationSeries series; series.Position() < n - 1; series.Next())
        block[series.Position()] = static_cast<uint8_t>(block[series.Position()] + delta);
}

}  // namespace blocksort
