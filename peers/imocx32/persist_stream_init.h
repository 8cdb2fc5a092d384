#pragma once
// The control's IPersistStreamInit. It has no stored properties: a new control and a
// loaded one are the same, and saving writes nothing. What it keeps is the interface's
// rule that an object is initialised once. The object that derives from this gives its
// IUnknown.
#include <windows.h>
#include <ocidl.h>

class PersistStreamInit : public IPersistStreamInit {
public:
    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

protected:
    PersistStreamInit() = default;
    ~PersistStreamInit() = default;
    PersistStreamInit(const PersistStreamInit&) = delete;
    PersistStreamInit& operator=(const PersistStreamInit&) = delete;

private:
    bool initialised_ = false;
};
