#include "imaging/image_man.h"

#include <ole2.h>
#include <oleauto.h>

#include "base/exception.h"
#include "base/message_text.h"
#include "base/text_conversion.h"

namespace {

std::string Narrow(BSTR text)
{
    return text ? ToAnsi(std::wstring_view(text, SysStringLen(text))).text : std::string();
}

BSTR Wide(const std::string& text)
{
    std::wstring wide = ToWide(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// Owns a BSTR argument for the length of one call.
class BstrArgument {
public:
    explicit BstrArgument(const std::string& text)
    {
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = Wide(text);
        if (!value.bstrVal)
            throw Exception("Imaging control: out of memory");
    }
    ~BstrArgument() { VariantClear(&value); }
    BstrArgument(const BstrArgument&) = delete;
    BstrArgument& operator=(const BstrArgument&) = delete;

    VARIANT value;
};

}  // namespace

TImageMan::TImageMan(HWND parent, RECT place, std::wstring_view licenseKey)
        : host_(std::make_unique<HostedControl>(parent, place, licenseKey)),
          control_(host_->Dispatch())
{
    control_->AddRef();
}

TImageMan::TImageMan(IDispatch* control) : control_(control) { control_->AddRef(); }

// The reference is let go before the host, if any, closes the control.
TImageMan::~TImageMan() { control_->Release(); }

void TImageMan::Invoke(DISPID id, WORD flags, DISPPARAMS& parameters, const char* what)
{
    EXCEPINFO exception{};
    VARIANT result;
    VariantInit(&result);
    HRESULT status =
        control_->Invoke(id, IID_NULL, 0, flags, &parameters,
                         flags == DISPATCH_METHOD ? &result : nullptr, &exception, nullptr);
    VariantClear(&result);
    if (SUCCEEDED(status))
        return;
    std::string text = exception.bstrDescription ? Narrow(exception.bstrDescription)
                                                 : "Imaging control: " + std::string(what) +
                                                       " failed (" + StatusText(status) + ")";
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    throw Exception(text);
}

void TImageMan::PutProperty(DISPID id, VARIANT& value, const char* what)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{&value, &named, 1, 1};
    Invoke(id, DISPATCH_PROPERTYPUT, parameters, what);
}

void TImageMan::Call(DISPID id, VARIANT* arguments, UINT count, const char* what)
{
    DISPPARAMS parameters{arguments, nullptr, count, 0};
    Invoke(id, DISPATCH_METHOD, parameters, what);
}

void TImageMan::PutShort(DISPID id, short value, const char* what)
{
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I2;
    argument.iVal = value;
    PutProperty(id, argument, what);
}

void TImageMan::SetScaleMethod(short value)
{
    PutShort(ImageManDispId::ScaleMethod, value, "setting ScaleMethod");
}

void TImageMan::SetPicture(const std::string& fileName)
{
    BstrArgument argument(fileName);
    PutProperty(ImageManDispId::Picture, argument.value, "setting Picture");
}

void TImageMan::Refresh() { Call(ImageManDispId::Refresh, nullptr, 0, "Refresh"); }

void TImageMan::SetAppendImage(bool value)
{
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BOOL;
    argument.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    PutProperty(ImageManDispId::AppendImage, argument, "setting AppendImage");
}

void TImageMan::SetCompression(short value)
{
    PutShort(ImageManDispId::Compression, value, "setting Compression");
}

void TImageMan::SaveAs(const std::string& fileName)
{
    BstrArgument argument(fileName);
    Call(ImageManDispId::SaveAs, &argument.value, 1, "SaveAs");
}
