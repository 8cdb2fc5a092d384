#pragma once
// The control's class object: IClassFactory2. The control is licensed on every machine,
// and like any licensed control it creates objects for a runtime key only when the key
// is its own.
#include <windows.h>
#include <ocidl.h>

class ClassFactory : public IClassFactory2 {
public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    // IClassFactory2
    HRESULT STDMETHODCALLTYPE GetLicInfo(LICINFO* info) override;
    HRESULT STDMETHODCALLTYPE RequestLicKey(DWORD reserved, BSTR* key) override;
    HRESULT STDMETHODCALLTYPE CreateInstanceLic(IUnknown* outer, IUnknown* reserved, REFIID iid,
                                                BSTR key, void** object) override;

    // Whether a client holds the class object or keeps the server locked: the library
    // must stay loaded until neither does.
    bool InUse() const;

private:
    // One static class object lives as long as the library; these only count its clients.
    LONG references_ = 0;
    LONG locks_ = 0;
};
