#pragma once
// One reference to a COM object, released however the scope is left.
#include <utility>

#include <windows.h>
#include <unknwn.h>

template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept
    {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    // The interface iid of object, or an empty reference when it has none.
    static ComRef Query(IUnknown* object, REFIID iid)
    {
        ComRef queried;
        if (object && FAILED(object->QueryInterface(iid, queried.Out())))
            queried.Reset();
        return queried;
    }

    Interface* Get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For a call that hands out a reference: the one held before is released first.
    void** Out()
    {
        Reset();
        return reinterpret_cast<void**>(&object_);
    }
    Interface** Put()
    {
        Reset();
        return &object_;
    }
    void Reset()
    {
        if (object_)
            std::exchange(object_, nullptr)->Release();
    }

private:
    Interface* object_ = nullptr;
};
