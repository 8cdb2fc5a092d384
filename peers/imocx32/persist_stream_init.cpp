#include "persist_stream_init.h"

#include "product/imaging_control.h"

HRESULT PersistStreamInit::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_ImageMan;
    return S_OK;
}

HRESULT PersistStreamInit::IsDirty() { return S_FALSE; }

HRESULT PersistStreamInit::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    initialised_ = true;
    return S_OK;
}

HRESULT PersistStreamInit::Save(IStream* stream, BOOL) { return stream ? S_OK : E_POINTER; }

HRESULT PersistStreamInit::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

HRESULT PersistStreamInit::InitNew()
{
    if (initialised_)
        return E_UNEXPECTED;
    initialised_ = true;
    return S_OK;
}
