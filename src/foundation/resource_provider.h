// The library-wide resource provider: a host program may set it so that ini texts
// can "#include" other texts and be re-read by name. The installer never sets it.
#pragma once
#include <cstdint>

#include "foundation/object.h"

class TResourceProvider : public TObject {
public:
    const char* ClassName() const override { return "TResourceProvider"; }
    TObject* IsA(const char* name) override {
        return ClassNameIs(name, "TResourceProvider") ? this : TObject::IsA(name);
    }
    // Returns a newly malloc'ed NUL-terminated text that the caller frees, or
    // nullptr. The three further arguments are reserved and always 0.
    virtual char* ReadResource(const char* name, int32_t reserved1, int32_t reserved2, int32_t reserved3) = 0;
};

// Empty unless a host sets it. A fatal run-time error releases it once.
extern TResourceProvider* ResourceProvider;
