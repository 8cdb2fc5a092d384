#pragma once
// The imaging control's object: IDispatch with the control's dispatch identifiers,
// backed by the fax TIFF engine, and the interfaces a container embeds a control by.
// It works as well when a host drives it through IDispatch alone.
#include <windows.h>
#include <oaidl.h>

#include "image_document.h"
#include "ole_object.h"
#include "persist_stream_init.h"

class ImageControl : public IDispatch, public OleObject, public PersistStreamInit {
public:
    ImageControl();
    virtual ~ImageControl();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

private:
    LONG references_ = 1;
    ImageDocument document_;
};

// Objects alive in this library, for DllCanUnloadNow.
extern LONG LiveObjects;
