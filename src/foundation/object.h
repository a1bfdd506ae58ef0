// TObject: the root of Vela's own non-window classes (collections, ini texts,
// package archives). Objects are reference counted; the count starts at 1 and the
// last Release runs the Done hook and destroys the object. Counts are plain
// integers: an object is used from one thread at a time.
#pragma once
#include <cstdint>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    // The seven basic operations, in this order in every derived class.
    virtual const char* ClassName() const { return "TObject"; }
    // Returns this object when name equals the class's own name byte for byte,
    // otherwise what the base class answers; TObject answers "TObject" only.
    virtual TObject* IsA(const char* name);
    // Runs just before Release destroys the object; empty here.
    virtual void Done() {}
    virtual int32_t AddRef() { return ++refCount; }
    virtual int32_t RefCount() const { return refCount; }
    // Drops one reference; at zero runs Done, destroys the object and returns 0.
    virtual int32_t Release();
    virtual ~TObject() = default;

protected:
    int32_t refCount = 1;
};

// Byte-for-byte equality of two NUL-terminated class names.
bool ClassNameIs(const char* name, const char* className);
