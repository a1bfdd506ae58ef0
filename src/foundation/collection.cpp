#include "foundation/collection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/run_time_error.h"

namespace {

const char kModule[] = "acollect";

[[noreturn]] void ReportIndex(int line, const char* format, int32_t index) {
    char message[64];
    std::snprintf(message, sizeof message, format, static_cast<int>(index));
    ReportError(kModule, line, message, true);
    std::abort();  // not reached: a fatal report never returns
}

}  // namespace

TCollection::TCollection(int32_t initialLimit, int32_t delta_) : delta(delta_) {
    SetLimit(initialLimit);
}

TObject* TCollection::IsA(const char* name) {
    return ClassNameIs(name, "TCollection") ? this : TObject::IsA(name);
}

void TCollection::Done() {
    if (ownsItems)
        FreeAll();
    SetLimit(0);
}

TCollection::~TCollection() {
    std::free(items);
}

void* TCollection::At(int32_t index) {
    if (index < 0 || index >= count)
        ReportIndex(__LINE__, "Collection index %d is out of bounds", index);
    return items[index];
}

int32_t TCollection::IndexOf(void* item) {
    for (int32_t i = 0; i < count; i++)
        if (items[i] == item)
            return i;
    ReportError(kModule, __LINE__, "Item not found", true);
    return 0;
}

void TCollection::AtFree(int32_t index) {
    void* item = At(index);
    AtRemove(index);
    FreeItem(item);
}

void TCollection::AtRemove(int32_t index) {
    if (index < 0 || index >= count)
        ReportIndex(__LINE__, "Removing element no. %d", index);
    count--;
    std::memmove(&items[index], &items[index + 1], sizeof(void*) * static_cast<size_t>(count - index));
}

void TCollection::Remove(void* item) {
    AtRemove(IndexOf(item));
}

void TCollection::RemoveAll() {
    count = 0;
}

void TCollection::Free(void* item) {
    Remove(item);
    FreeItem(item);
}

void TCollection::FreeAll() {
    for (int32_t i = 0; i < count; i++)
        FreeItem(At(i));
    count = 0;
}

void TCollection::AtInsert(int32_t index, void* item) {
    // Writing outside the array would corrupt memory: an index beyond 0 .. count
    // is reported like the other bad indices instead.
    if (index < 0 || index > count)
        ReportIndex(__LINE__, "Collection index %d is out of bounds", index);
    if (count == limit) {
        SetLimit(count + delta);
        // At 65535 items, or with a delta of 0, the array cannot grow.
        if (count == limit)
            ReportIndex(__LINE__, "Collection overflow at %d items", count);
    }
    std::memmove(&items[index + 1], &items[index], sizeof(void*) * static_cast<size_t>(count - index));
    count++;
    items[index] = item;
}

void TCollection::AtPut(int32_t index, void* item) {
    if (index < 0 || index >= count)
        ReportIndex(__LINE__, "Collection index %d is out of bounds", index);
    items[index] = item;
}

int32_t TCollection::Insert(void* item) {
    int32_t index = count;
    AtInsert(index, item);
    return index;
}

void* TCollection::FirstThat(TestFunction test, void* argument) {
    for (int32_t i = 0; i < count; i++) {
        void* item = At(i);
        if (test(item, argument) == 1)
            return item;
    }
    return nullptr;
}

void* TCollection::LastThat(TestFunction test, void* argument) {
    for (int32_t i = count - 1; i >= 0; i--) {
        void* item = At(i);
        if (test(item, argument) == 1)
            return item;
    }
    return nullptr;
}

void TCollection::ForEach(ActionFunction action, void* argument) {
    for (int32_t i = 0; i < count; i++)
        action(At(i), argument);
}

void TCollection::Pack() {
    int32_t kept = 0;
    for (int32_t i = 0; i < count; i++)
        if (items[i] != nullptr)
            items[kept++] = items[i];
    count = kept;
}

void TCollection::SetLimit(int32_t newLimit) {
    if (newLimit < count)
        newLimit = count;
    if (newLimit > MaxCollectionSize)
        newLimit = MaxCollectionSize;
    if (newLimit == limit)
        return;
    void** newItems = nullptr;
    if (newLimit > 0) {
        newItems = static_cast<void**>(std::malloc(sizeof(void*) * static_cast<size_t>(newLimit)));
        if (count > 0)
            std::memcpy(newItems, items, sizeof(void*) * static_cast<size_t>(count));
    }
    std::free(items);
    items = newItems;
    limit = newLimit;
}

void TCollection::FreeItem(void* item) {
    std::free(item);
}
