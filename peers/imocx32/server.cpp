// The in-process COM server's entry points: the class object, unloading and self-registration.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "base/class_server.h"
#include "base/text_conversion.h"
#include "class_factory.h"
#include "image_control.h"
#include "product/imaging_control.h"

namespace {

const std::wstring kClassKey = L"CLSID\\" + ToWide(kImageManClassText);

HMODULE ThisLibrary = nullptr;
ClassFactory Factory;

LONG SetValue(HKEY key, const wchar_t* name, const std::wstring& value)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Empty when the name does not fit.
std::wstring ThisLibraryPath()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(ThisLibrary, path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ThisLibrary = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_ImageMan)
        return CLASS_E_CLASSNOTAVAILABLE;
    return Factory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return LiveObjects == 0 && !Factory.InUse() ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    std::wstring path = ThisLibraryPath();
    if (path.empty())
        return SELFREG_E_CLASS;
    HKEY server = nullptr;
    std::wstring key = kClassKey + L"\\InprocServer32";
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &server,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    bool written = SetValue(server, nullptr, path) == ERROR_SUCCESS &&
                   SetValue(server, L"ThreadingModel", L"Apartment") == ERROR_SUCCESS;
    RegCloseKey(server);
    return written ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    // Another file registered under the class (another maker's control) keeps its
    // registration: an uninstaller unregisters the file it installed, whatever is
    // registered now.
    std::wstring path = ThisLibraryPath();
    if (path.empty())
        return SELFREG_E_CLASS;
    std::wstring registered = InprocServerFile(kImageManClassText);
    if (registered.empty() || !SameFile(registered, path))
        return S_OK;
    LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
