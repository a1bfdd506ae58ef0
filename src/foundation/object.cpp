#include "foundation/object.h"

#include <cstring>

bool ClassNameIs(const char* name, const char* className) {
    return name != nullptr && std::strcmp(name, className) == 0;
}

TObject* TObject::IsA(const char* name) {
    return ClassNameIs(name, "TObject") ? this : nullptr;
}

int32_t TObject::Release() {
    if (--refCount != 0)
        return refCount;
    Done();
    delete this;
    return 0;
}
