#include "ole_object.h"

#include "product/imaging_control.h"

OleObject::~OleObject()
{
    if (site_)
        site_->Release();
}

HRESULT OleObject::SetClientSite(IOleClientSite* site)
{
    if (site)
        site->AddRef();
    if (site_)
        site_->Release();
    site_ = site;
    return S_OK;
}

HRESULT OleObject::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = site_;
    if (site_)
        site_->AddRef();
    return S_OK;
}

// There is no window whose caption could show the names.
HRESULT OleObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

// Nothing is open and nothing unsaved, so closing keeps the object as it is: it stays
// usable through IDispatch until its last release.
HRESULT OleObject::Close(DWORD) { return S_OK; }

HRESULT OleObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT OleObject::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (!moniker)
        return E_POINTER;
    *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT OleObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT OleObject::GetClipboardData(DWORD, IDataObject** data)
{
    if (!data)
        return E_POINTER;
    *data = nullptr;
    return E_NOTIMPL;
}

// Showing nothing, the control cannot be activated in place, and no other verb has
// anything to do.
HRESULT OleObject::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT)
{
    if (verb == OLEIVERB_INPLACEACTIVATE || verb == OLEIVERB_UIACTIVATE)
        return E_NOTIMPL;
    return OLEOBJ_S_INVALIDVERB;
}

HRESULT OleObject::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs)
        return E_POINTER;
    *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
}

// No links, so nothing is ever out of date.
HRESULT OleObject::Update() { return S_OK; }
HRESULT OleObject::IsUpToDate() { return S_OK; }

HRESULT OleObject::GetUserClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_ImageMan;
    return S_OK;
}

HRESULT OleObject::GetUserType(DWORD, LPOLESTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    return E_NOTIMPL;
}

HRESULT OleObject::SetExtent(DWORD, SIZEL*) { return E_NOTIMPL; }

HRESULT OleObject::GetExtent(DWORD, SIZEL*) { return E_NOTIMPL; }

HRESULT OleObject::Advise(IAdviseSink*, DWORD* connection)
{
    if (connection)
        *connection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT OleObject::Unadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT OleObject::EnumAdvise(IEnumSTATDATA** advises)
{
    if (advises)
        *advises = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT OleObject::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST;
    return S_OK;
}

HRESULT OleObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }
