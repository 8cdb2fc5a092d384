#include "class_factory.h"

#include <new>
#include <string_view>

#include <oleauto.h>

#include "image_control.h"

namespace {

constexpr std::wstring_view kRuntimeKey = L"Kelvarin stand-in imaging control";

}  // namespace

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory || iid == IID_IClassFactory2) {
        *object = static_cast<IClassFactory2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return InterlockedIncrement(&references_); }

ULONG ClassFactory::Release() { return InterlockedDecrement(&references_); }

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* control = new (std::nothrow) ImageControl();
    if (!control)
        return E_OUTOFMEMORY;
    HRESULT status = control->QueryInterface(iid, object);
    control->Release();
    return status;
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        InterlockedIncrement(&locks_);
    else
        InterlockedDecrement(&locks_);
    return S_OK;
}

HRESULT ClassFactory::GetLicInfo(LICINFO* info)
{
    if (!info)
        return E_POINTER;
    info->cbLicInfo = sizeof(LICINFO);
    info->fRuntimeKeyAvail = TRUE;
    info->fLicVerified = TRUE;
    return S_OK;
}

HRESULT ClassFactory::RequestLicKey(DWORD, BSTR* key)
{
    if (!key)
        return E_POINTER;
    *key = SysAllocStringLen(kRuntimeKey.data(), static_cast<UINT>(kRuntimeKey.size()));
    return *key ? S_OK : E_OUTOFMEMORY;
}

HRESULT ClassFactory::CreateInstanceLic(IUnknown* outer, IUnknown* reserved, REFIID iid, BSTR key,
                                        void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (reserved)
        return E_INVALIDARG;
    if (!key || std::wstring_view(key, SysStringLen(key)) != kRuntimeKey)
        return CLASS_E_NOTLICENSED;
    return CreateInstance(outer, iid, object);
}

bool ClassFactory::InUse() const { return references_ > 0 || locks_ > 0; }
