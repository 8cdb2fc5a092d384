// IMAGEKEY.EXE: prints the imaging control's runtime licence key, on a machine that holds
// the control's design-time licence, for building it into TAVON.EXE
// (KELVARIN_IMAGING_LICENSE_KEY). Exit code 0 printed, 1 no key to be had.
#include <cstdio>
#include <string>
#include <string_view>

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include "base/com_ref.h"
#include "product/imaging_control.h"

namespace {

// The key as the build takes it.
std::string Utf8(std::wstring_view text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                            size, nullptr, nullptr);
    return utf8;
}

int PrintKey()
{
    ComRef<IClassFactory2> licensing;
    HRESULT status = CoGetClassObject(CLSID_ImageMan, CLSCTX_INPROC_SERVER, nullptr,
                                      IID_IClassFactory2, licensing.Out());
    BSTR key = nullptr;
    if (SUCCEEDED(status))
        status = licensing->RequestLicKey(0, &key);
    if (FAILED(status)) {
        std::fprintf(stderr,
                     "IMAGEKEY: the imaging control %s gives no runtime licence key here "
                     "(0x%08lX): it needs its design-time licence on this machine\n",
                     kImageManClassText, static_cast<unsigned long>(status));
        return 1;
    }
    std::printf("%s\n", Utf8(std::wstring_view(key, SysStringLen(key))).c_str());
    SysFreeString(key);
    return 0;
}

}  // namespace

int main()
{
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    int exitCode = PrintKey();
    CoUninitialize();
    return exitCode;
}
