#include "image_control.h"

#include <exception>
#include <string>

#include <oleauto.h>

#include "base/text_conversion.h"
#include "product/imaging_control.h"

LONG LiveObjects = 0;

namespace {

BSTR Bstr(const std::string& text)
{
    std::wstring wide = ToWide(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

struct Member {
    const wchar_t* name;
    DISPID id;
};
constexpr Member kMembers[] = {
    {L"Compression", ImageManDispId::Compression}, {L"ScaleMethod", ImageManDispId::ScaleMethod},
    {L"AppendImage", ImageManDispId::AppendImage}, {L"Picture", ImageManDispId::Picture},
    {L"SaveAs", ImageManDispId::SaveAs},           {L"Refresh", ImageManDispId::Refresh}};

HRESULT Fail(EXCEPINFO* exception, const std::string& text)
{
    if (exception) {
        *exception = EXCEPINFO{};
        exception->bstrSource = SysAllocString(L"ImageMan");
        exception->bstrDescription = Bstr(text);
        exception->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

// The one argument of a property write or a one-argument method, converted to type.
HRESULT Argument(DISPPARAMS* parameters, bool propertyPut, VARTYPE type, VARIANT& value,
                 UINT* argumentError)
{
    if (!parameters || parameters->cArgs != 1)
        return DISP_E_BADPARAMCOUNT;
    if (propertyPut) {
        if (parameters->cNamedArgs != 1 || parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
    } else if (parameters->cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    VariantInit(&value);
    if (FAILED(VariantChangeType(&value, &parameters->rgvarg[0], 0, type))) {
        if (argumentError)
            *argumentError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

}  // namespace

ImageControl::ImageControl() { InterlockedIncrement(&LiveObjects); }
ImageControl::~ImageControl() { InterlockedDecrement(&LiveObjects); }

HRESULT ImageControl::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch)
        *object = static_cast<IDispatch*>(this);
    else if (iid == IID_IOleObject)
        *object = static_cast<IOleObject*>(this);
    else if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
        *object = static_cast<IPersistStreamInit*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG ImageControl::AddRef() { return InterlockedIncrement(&references_); }

ULONG ImageControl::Release()
{
    ULONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return left;
}

HRESULT ImageControl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ImageControl::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT ImageControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids)
        return E_POINTER;
    HRESULT status = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (const Member& member : kMembers)
            if (i == 0 && names[i] && lstrcmpiW(names[i], member.name) == 0)
                ids[i] = member.id;
        if (ids[i] == DISPID_UNKNOWN)
            status = DISP_E_UNKNOWNNAME;
    }
    return status;
}

HRESULT ImageControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                             VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    const bool method = flags & DISPATCH_METHOD;
    VARIANT value;
    HRESULT status;
    try {
        switch (id) {
        case ImageManDispId::ScaleMethod:
        case ImageManDispId::Compression:
            if (!put)
                return DISP_E_MEMBERNOTFOUND;
            if (FAILED(status = Argument(parameters, true, VT_I2, value, argumentError)))
                return status;
            if (id == ImageManDispId::ScaleMethod)
                document_.SetScaleMethod(value.iVal);
            else
                document_.SetCompression(value.iVal);
            return S_OK;
        case ImageManDispId::AppendImage:
            if (!put)
                return DISP_E_MEMBERNOTFOUND;
            if (FAILED(status = Argument(parameters, true, VT_BOOL, value, argumentError)))
                return status;
            document_.SetAppendImage(value.boolVal != VARIANT_FALSE);
            return S_OK;
        case ImageManDispId::Picture: {
            if (!put)
                return DISP_E_MEMBERNOTFOUND;
            if (FAILED(status = Argument(parameters, true, VT_BSTR, value, argumentError)))
                return status;
            std::string path =
                ToAnsi(std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal))).text;
            VariantClear(&value);
            document_.Load(path);
            return S_OK;
        }
        case ImageManDispId::Refresh:
            if (!method)
                return DISP_E_MEMBERNOTFOUND;
            if (parameters && parameters->cArgs != 0)
                return DISP_E_BADPARAMCOUNT;
            return S_OK;
        case ImageManDispId::SaveAs: {
            if (!method)
                return DISP_E_MEMBERNOTFOUND;
            if (FAILED(status = Argument(parameters, false, VT_BSTR, value, argumentError)))
                return status;
            std::string path =
                ToAnsi(std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal))).text;
            VariantClear(&value);
            document_.SaveAs(path);
            if (result) {
                VariantInit(result);
                result->vt = VT_BSTR;
                result->bstrVal = Bstr(path);
            }
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    } catch (const std::exception& e) {
        return Fail(exception, e.what());
    }
}
