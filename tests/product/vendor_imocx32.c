/* An imaging control built the way a commercial vendor builds one: plain C, its own export
   list and version resource, no code of ours. It has the imaging control's class and
   dispatch ids, and asks of its host what such controls ask. What tests may rely on:

   Licence: IClassFactory2. The machine is licensed when IMOCX32.LIC beside the OCX has
   the first line "Orbelle ImageMan OCX design-time licence". CreateInstance and
   RequestLicKey need that, else CLASS_E_NOTLICENSED; RequestLicKey gives the runtime key
   "ORB-IMGMAN-7103-RT-5E1D93A7", and CreateInstanceLic succeeds with exactly that key,
   licence file or not. No aggregation.

   Host's duties: Invoke answers E_UNEXPECTED until a client site is set, InitNew (or
   Load) is done after it, and the site's ambient UserMode (read through its IDispatch at
   SetClientSite and at OnAmbientPropertyChange) is true. DoVerb(OLEIVERB_INPLACEACTIVATE
   or OLEIVERB_SHOW) activates in place as a container expects; Close before the last
   Release.

   Saving: Picture loads a TIFF's first page as it is coded; SaveAs rebuilds the whole
   file (all pages read back, the current image last when AppendImage is true, alone
   when false), written in 4096-byte pieces and never flushed. A file there that is not a
   TIFF it can read is refused and left as it is. Errors are DISP_E_EXCEPTION with the
   description "<file>: <what is wrong>".

   Misbehaving: IMOCX32.INI beside the OCX, read at each SaveAs: [Misbehave]
   Kind=skip|overwrite|linkfail and Save=N pick the N-th SaveAs the control handled in this
   process (1-based; each has its SaveAs line in the log): skip writes nothing and reports
   success; overwrite writes the image as the file's only page and reports success;
   linkfail appends the page and then reports "disk full". Without them it behaves.

   Log: IMOCX32.LOG beside the OCX, one line each:
       CreateInstance ok|refused, CreateInstanceLic ok|refused, GetMiscStatus,
       SetClientSite site|null, UserMode 1|0, InitNew[ refused], Load[ refused],
       DoVerb <verb> rect=<left>,<top>,<right>,<bottom> (or DoVerb <verb> refused),
       InPlaceDeactivate, Close, Invoke <dispid>[ refused],
       SaveAs <path>[ skip| overwrite| linkfail],
       Final release (after Close) or Final release without Close. */
#include "vendor_imocx32.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const CLSID OrbelleImageManClass = {
    0x0EABA3C0, 0xD884, 0x101B, {0x8C, 0xAE, 0x00, 0x00, 0x6E, 0x44, 0xAA, 0xB2}};

static const char LicenceLine[] = "Orbelle ImageMan OCX design-time licence";
static const WCHAR RuntimeKey[] = L"ORB-IMGMAN-7103-RT-5E1D93A7";
/* OLEMISC_SETCLIENTSITEFIRST | ACTIVATEWHENVISIBLE | INSIDEOUT | RECOMPOSEONRESIZE */
static const char RegisteredMiscStatus[] = "131457";

HINSTANCE ModuleInstance;
const char* ModulePath;
const char* IniPath;
static const char* LogPath;
static const char* LicencePath;

LONG LiveObjects;
static LONG ServerLocks;
static LONG FactoryReferences;

/* Logging must never stop the control: a line that cannot be written is dropped. */
void LogLine(const char* format, ...)
{
    va_list arguments, measure;
    int length;
    char* line;

    va_start(arguments, format);
    va_copy(measure, arguments);
    length = _vscprintf(format, measure);
    va_end(measure);
    line = length >= 0 ? malloc((size_t)length + 3) : NULL;
    if (line) {
        HANDLE log;
        DWORD written;
        vsnprintf(line, (size_t)length + 1, format, arguments);
        memcpy(line + length, "\r\n", 2);
        log = CreateFileA(LogPath, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL);
        if (log != INVALID_HANDLE_VALUE) {
            WriteFile(log, line, (DWORD)length + 2, &written, NULL);
            CloseHandle(log);
        }
        free(line);
    }
    va_end(arguments);
}

static char* BesideModule(const char* name)
{
    const char* slash = strrchr(ModulePath, '\\');
    size_t folder = slash ? (size_t)(slash - ModulePath) + 1 : 0;
    char* path = malloc(folder + strlen(name) + 1);
    if (path) {
        memcpy(path, ModulePath, folder);
        strcpy(path + folder, name);
    }
    return path;
}

static BOOL FindModulePaths(HINSTANCE instance)
{
    DWORD size;
    for (size = MAX_PATH; size <= 32768 && !ModulePath; size *= 2) {
        char* buffer = malloc(size);
        DWORD length = buffer ? GetModuleFileNameA(instance, buffer, size) : 0;
        if (length > 0 && length < size)
            ModulePath = buffer;
        else
            free(buffer);
        if (length == 0)
            return FALSE;
    }
    if (!ModulePath)
        return FALSE;
    IniPath = BesideModule("IMOCX32.INI");
    LogPath = BesideModule("IMOCX32.LOG");
    LicencePath = BesideModule("IMOCX32.LIC");
    return IniPath && LogPath && LicencePath;
}

static void ForgetModulePaths(void)
{
    free((void*)ModulePath);
    free((void*)IniPath);
    free((void*)LogPath);
    free((void*)LicencePath);
    ModulePath = IniPath = LogPath = LicencePath = NULL;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleInstance = instance;
        if (!FindModulePaths(instance)) {
            ForgetModulePaths();
            return FALSE;
        }
    } else if (reason == DLL_PROCESS_DETACH && reserved == NULL) {
        /* Unloaded by FreeLibrary; at process exit there is nothing to give back. */
        ForgetImageWindowClass();
        ForgetModulePaths();
    }
    return TRUE;
}

static BOOL MachineLicensed(void)
{
    char head[sizeof LicenceLine + 1];
    const DWORD length = sizeof LicenceLine - 1;
    DWORD got = 0;
    BOOL read;
    HANDLE file = CreateFileA(LicencePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    read = ReadFile(file, head, sizeof head, &got, NULL);
    CloseHandle(file);
    if (!read || got < length || memcmp(head, LicenceLine, length) != 0)
        return FALSE;
    return got == length || head[length] == '\r' || head[length] == '\n';
}

static BOOL IsRuntimeKey(BSTR key)
{
    UINT length = (UINT)(sizeof RuntimeKey / sizeof RuntimeKey[0]) - 1;
    return key && SysStringLen(key) == length &&
           memcmp(key, RuntimeKey, length * sizeof(WCHAR)) == 0;
}

/* The class object: one for the module, alive while the module is. */
static HRESULT STDMETHODCALLTYPE FactoryQueryInterface(IClassFactory2* This, REFIID iid,
                                                       void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IClassFactory) ||
        IsEqualIID(iid, &IID_IClassFactory2)) {
        *object = This;
        IClassFactory2_AddRef(This);
        return S_OK;
    }
    *object = NULL;
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE FactoryAddRef(IClassFactory2* This)
{
    (void)This;
    return (ULONG)InterlockedIncrement(&FactoryReferences) + 1;
}

static ULONG STDMETHODCALLTYPE FactoryRelease(IClassFactory2* This)
{
    (void)This;
    return (ULONG)InterlockedDecrement(&FactoryReferences) + 1;
}

static HRESULT Create(const char* how, IUnknown* outer, BOOL allowed, REFIID iid, void** object)
{
    HRESULT status;
    if (!object)
        return E_POINTER;
    *object = NULL;
    if (outer)
        status = CLASS_E_NOAGGREGATION;
    else if (!allowed)
        status = CLASS_E_NOTLICENSED;
    else
        status = CreateImageControl(iid, object);
    LogLine("%s %s", how, SUCCEEDED(status) ? "ok" : "refused");
    return status;
}

static HRESULT STDMETHODCALLTYPE FactoryCreateInstance(IClassFactory2* This, IUnknown* outer,
                                                       REFIID iid, void** object)
{
    (void)This;
    return Create("CreateInstance", outer, MachineLicensed(), iid, object);
}

static HRESULT STDMETHODCALLTYPE FactoryLockServer(IClassFactory2* This, BOOL lock)
{
    (void)This;
    if (lock)
        InterlockedIncrement(&ServerLocks);
    else
        InterlockedDecrement(&ServerLocks);
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE FactoryGetLicInfo(IClassFactory2* This, LICINFO* info)
{
    (void)This;
    if (!info)
        return E_POINTER;
    info->cbLicInfo = sizeof *info;
    info->fRuntimeKeyAvail = TRUE;
    info->fLicVerified = MachineLicensed();
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE FactoryRequestLicKey(IClassFactory2* This, DWORD reserved,
                                                      BSTR* key)
{
    (void)This;
    if (!key)
        return E_POINTER;
    *key = NULL;
    if (reserved != 0)
        return E_INVALIDARG;
    if (!MachineLicensed())
        return CLASS_E_NOTLICENSED;
    *key = SysAllocString(RuntimeKey);
    return *key ? S_OK : E_OUTOFMEMORY;
}

static HRESULT STDMETHODCALLTYPE FactoryCreateInstanceLic(IClassFactory2* This, IUnknown* outer,
                                                          IUnknown* reserved, REFIID iid, BSTR key,
                                                          void** object)
{
    (void)This;
    (void)reserved;
    return Create("CreateInstanceLic", outer, IsRuntimeKey(key), iid, object);
}

static const IClassFactory2Vtbl FactoryVtbl = {
    FactoryQueryInterface, FactoryAddRef,     FactoryRelease,       FactoryCreateInstance,
    FactoryLockServer,     FactoryGetLicInfo, FactoryRequestLicKey, FactoryCreateInstanceLic};
static IClassFactory2 Factory = {&FactoryVtbl};

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = NULL;
    if (!IsEqualCLSID(clsid, &OrbelleImageManClass))
        return CLASS_E_CLASSNOTAVAILABLE;
    return IClassFactory2_QueryInterface(&Factory, iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow(void)
{
    return LiveObjects == 0 && ServerLocks == 0 && FactoryReferences == 0 ? S_OK : S_FALSE;
}

static LONG SetText(HKEY key, const char* name, const char* value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
}

/* Creates parent\name with its default value, and one named value when valueName is set. */
static LONG AddKey(HKEY parent, const char* name, const char* value, const char* valueName,
                   const char* namedValue)
{
    HKEY key;
    LONG status = RegCreateKeyExA(parent, name, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL);
    if (status != ERROR_SUCCESS)
        return status;
    if (value)
        status = SetText(key, NULL, value);
    if (status == ERROR_SUCCESS && valueName)
        status = SetText(key, valueName, namedValue);
    RegCloseKey(key);
    return status;
}

HRESULT STDAPICALLTYPE DllUnregisterServer(void)
{
    LONG status = RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\" ORBELLE_CLASS_TEXT);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

HRESULT STDAPICALLTYPE DllRegisterServer(void)
{
    HKEY classKey;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\" ORBELLE_CLASS_TEXT, 0, NULL, 0,
                                  KEY_WRITE, NULL, &classKey, NULL);
    if (status != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    status = SetText(classKey, NULL, "Orbelle ImageMan Control");
    if (status == ERROR_SUCCESS)
        status = AddKey(classKey, "InprocServer32", ModulePath, "ThreadingModel", "Apartment");
    if (status == ERROR_SUCCESS)
        status = AddKey(classKey, "Control", NULL, NULL, NULL);
    if (status == ERROR_SUCCESS)
        status = AddKey(classKey, "MiscStatus", RegisteredMiscStatus, NULL, NULL);
    RegCloseKey(classKey);
    if (status != ERROR_SUCCESS) {
        /* Half a registration would be worse than none. */
        DllUnregisterServer();
        return SELFREG_E_CLASS;
    }
    return S_OK;
}
