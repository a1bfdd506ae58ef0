// TCollection: a growable array of untyped item pointers with checked access.
//
// Capacity grows linearly, by `delta` slots whenever an insertion finds the array
// full, and never beyond 65535 slots. A bad index given to At, AtPut or AtRemove,
// and a pointer that IndexOf cannot find, are fatal run-time errors reported under
// the module name "acollect": the process ends (see foundation/run_time_error.h).
//
// Items are released with FreeItem, a plain free() of the pointer; a derived
// collection that stores other kinds of item overrides FreeItem alone, because
// every operation that releases items goes through it.
#pragma once
#include <cstdint>

#include "foundation/object.h"

class TCollection : public TObject {
public:
    using TestFunction = int (*)(void* item, void* argument);
    using ActionFunction = void (*)(void* item, void* argument);

    static constexpr int32_t MaxCollectionSize = 65535;

    TCollection(int32_t initialLimit, int32_t delta);

    const char* ClassName() const override { return "TCollection"; }
    TObject* IsA(const char* name) override;
    // Frees the items when the collection owns them, then drops the array.
    void Done() override;
    // Frees the array only, never the items.
    ~TCollection() override;

    virtual void* At(int32_t index);
    virtual int32_t IndexOf(void* item);
    virtual void AtFree(int32_t index);
    virtual void AtRemove(int32_t index);
    virtual void Remove(void* item);
    virtual void RemoveAll();
    virtual void Free(void* item);
    virtual void FreeAll();
    virtual void AtInsert(int32_t index, void* item);
    virtual void AtPut(int32_t index, void* item);
    virtual int32_t Insert(void* item);
    // The first (last) item for which test returns exactly 1, or nullptr.
    virtual void* FirstThat(TestFunction test, void* argument);
    virtual void* LastThat(TestFunction test, void* argument);
    virtual void ForEach(ActionFunction action, void* argument);
    // Removes the null entries, keeping the order of the others.
    virtual void Pack();
    virtual void SetLimit(int32_t newLimit);
    virtual void FreeItem(void* item);

    int32_t Count() const { return count; }
    int32_t Limit() const { return limit; }
    int32_t Delta() const { return delta; }
    bool OwnsItems() const { return ownsItems != 0; }
    void SetOwnsItems(bool owns) { ownsItems = owns ? 1 : 0; }

protected:
    int32_t ownsItems = 0;
    void** items = nullptr;
    int32_t count = 0;
    int32_t limit = 0;
    int32_t delta = 0;
};
