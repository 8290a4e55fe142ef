#pragma once
// Reference-counted interfaces. An interface reference (TInterfaceRef<I>) holds one
// count: copying takes another, dropping releases it. What a count of zero means is
// the implementing class's business (a query frees itself; the resource manager
// never does).
#include <QUuid>
#include <atomic>
#include <cstdint>
#include <utility>

constexpr int32_t S_OK = 0;
constexpr int32_t E_NOINTERFACE = static_cast<int32_t>(0x80004002u);

// IUnknown's identity: every object that implements an interface answers for it too.
inline const QUuid IID_IInterface{0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

class IInterface {
public:
    virtual int32_t QueryInterface(const QUuid& iid, void** out) = 0;
    virtual int32_t _AddRef() = 0;
    virtual int32_t _Release() = 0;

protected:
    ~IInterface() = default;
};

template <class I>
class TInterfaceRef {
public:
    TInterfaceRef() = default;
    TInterfaceRef(std::nullptr_t) {}
    explicit TInterfaceRef(I* p) : FPtr(p)
    {
        if (FPtr)
            FPtr->_AddRef();
    }
    TInterfaceRef(const TInterfaceRef& other) : TInterfaceRef(other.FPtr) {}
    TInterfaceRef(TInterfaceRef&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    ~TInterfaceRef() { Clear(); }

    TInterfaceRef& operator=(const TInterfaceRef& other)
    {
        if (this != &other) {
            I* old = std::exchange(FPtr, other.FPtr);
            if (FPtr)
                FPtr->_AddRef();
            if (old)
                old->_Release();
        }
        return *this;
    }
    TInterfaceRef& operator=(TInterfaceRef&& other) noexcept
    {
        if (this != &other) {
            I* old = std::exchange(FPtr, std::exchange(other.FPtr, nullptr));
            if (old)
                old->_Release();
        }
        return *this;
    }
    TInterfaceRef& operator=(std::nullptr_t)
    {
        Clear();
        return *this;
    }

    // Drops the reference (the variable becomes empty first, then the count goes).
    void Clear()
    {
        if (I* old = std::exchange(FPtr, nullptr))
            old->_Release();
    }

    // Forgets the pointer without releasing it (for owners that go away without
    // giving their references back).
    I* Detach() { return std::exchange(FPtr, nullptr); }

    I* get() const { return FPtr; }
    I* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    bool operator==(const TInterfaceRef& other) const { return FPtr == other.FPtr; }

private:
    I* FPtr = nullptr;
};
