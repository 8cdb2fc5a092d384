#include "imaging/control_host.h"

#include <string>

#include <olectl.h>

#include "base/class_server.h"
#include "base/message_text.h"
#include "base/system_directory.h"
#include "base/text_conversion.h"
#include "product/imaging_control.h"

namespace {

const std::string kControl = std::string("The imaging control IMOCX32.OCX ") + kImageManClassText;

constexpr int kProgramBits = sizeof(void*) * 8;

// Whether the class is registered in the registry view of programs of the other bitness.
bool RegisteredForTheOtherBitness()
{
    std::wstring key = L"CLSID\\" + ToWide(kImageManClassText) + L"\\InprocServer32";
    REGSAM otherView = kProgramBits == 32 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY server = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | otherView, &server) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(server);
    return true;
}

std::string OtherBits() { return std::to_string(kProgramBits == 32 ? 64 : 32); }

// The system directory's control, or empty.
std::wstring SystemControl()
{
    wchar_t system[MAX_PATH + 1] = {};
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring()
                                             : std::wstring(system, length) + L"\\IMOCX32.OCX";
}

std::string CreationFailure(HRESULT status, bool keyed)
{
    std::string bits = std::to_string(kProgramBits);
    if (status == CLASS_E_NOTLICENSED && keyed)
        return kControl +
               " refused this program's runtime licence key. Build the program with the key of "
               "the control installed here (KELVARIN_IMAGING_LICENSE_KEY).";
    if (status == CLASS_E_NOTLICENSED)
        return kControl +
               " is not licensed on this computer, and this program was built without the "
               "control's runtime licence key. Build the program with the key "
               "(KELVARIN_IMAGING_LICENSE_KEY), or install the control's licence.";
    // The program checked the system directory's control at start; COM loads whichever
    // file the class names. A control that answered (its licence) says what it is itself.
    std::wstring registered = InprocServerFile(kImageManClassText);
    std::wstring system = SystemControl();
    if (!registered.empty() && !system.empty() && !SameFile(registered, system)) {
        std::string ours = ToAnsi(SystemDirectoryOnDisk() + L"\\IMOCX32.OCX").text;
        return kControl + " is registered to " + ToAnsi(registered).text +
               ", not to the system directory's " + ours + ", and cannot be created (" +
               StatusText(status) +
               "). Register the system directory's control with the fax product's "
               "registration tool ZEP.EXE, or with regsvr32 \"" +
               ours + "\".";
    }
    if (status == REGDB_E_CLASSNOTREG && RegisteredForTheOtherBitness())
        return kControl + " is registered only for " + OtherBits() +
               "-bit programs, and this program is " + bits +
               "-bit. Use the program of the control's bitness.";
    if (status == REGDB_E_CLASSNOTREG)
        return kControl + " is not registered. Run the fax product's registration tool ZEP.EXE, or "
                          "register the control with regsvr32.";
    if (status == HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT) || status == CO_E_ERRORINDLL)
        return kControl + " is not a " + bits +
               "-bit module, and this program is. Use the program of the control's bitness.";
    return kControl + " cannot be created (" + StatusText(status) + ").";
}

// Owns a BSTR for the length of one call.
class Bstr {
public:
    explicit Bstr(std::wstring_view text)
            : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
        if (!text_)
            throw ImagingControlError("Imaging control: out of memory");
    }
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

}  // namespace

HostedControl::HostedControl(HWND parent, RECT place, std::wstring_view licenseKey)
{
    Create(licenseKey);
    try {
        SetUp(parent, place);
    } catch (...) {
        End();
        throw;
    }
}

HostedControl::~HostedControl() { End(); }

void HostedControl::Create(std::wstring_view licenseKey)
{
    ComRef<IClassFactory> factory;
    HRESULT status = CoGetClassObject(CLSID_ImageMan, CLSCTX_INPROC_SERVER, nullptr,
                                      IID_IClassFactory, factory.Out());
    ComRef<IUnknown> control;
    if (SUCCEEDED(status)) {
        auto licensing = ComRef<IClassFactory2>::Query(factory.Get(), IID_IClassFactory2);
        if (licensing && !licenseKey.empty())
            status = licensing->CreateInstanceLic(nullptr, nullptr, IID_IUnknown,
                                                  Bstr(licenseKey).Get(), control.Out());
        else
            status = factory->CreateInstance(nullptr, IID_IUnknown, control.Out());
    }
    if (FAILED(status))
        throw ImagingControlError(CreationFailure(status, !licenseKey.empty()));
    dispatch_ = ComRef<IDispatch>::Query(control.Get(), IID_IDispatch);
    if (!dispatch_)
        throw ImagingControlError(kControl + " offers no automation interface (IDispatch).");
    object_ = ComRef<IOleObject>::Query(control.Get(), IID_IOleObject);
}

// The order of containers: the site first where the control asks for it, else after
// its initial state; then in-place activation for a control that is visible at run
// time. Activation is offered, not required: the control need not support it.
void HostedControl::SetUp(HWND parent, RECT place)
{
    if (object_) {
        DWORD misc = 0;
        if (FAILED(object_->GetMiscStatus(DVASPECT_CONTENT, &misc)))
            misc = 0;
        *site_.Put() = new ControlSite(parent, place);
        auto setSite = [&] {
            HRESULT status = object_->SetClientSite(site_.Get());
            if (FAILED(status))
                throw ImagingControlError(kControl + " refused its client site (" +
                                          StatusText(status) + ").");
        };
        if (misc & OLEMISC_SETCLIENTSITEFIRST)
            setSite();
        InitNew();
        if (!(misc & OLEMISC_SETCLIENTSITEFIRST))
            setSite();
        if (!(misc & OLEMISC_INVISIBLEATRUNTIME) && parent)
            object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, parent, &place);
    } else {
        InitNew();
    }
    CheckDispatchIds(dispatch_.Get());
}

// A new control's initial state, through whichever persistence interface it offers.
void HostedControl::InitNew()
{
    HRESULT status = S_OK;
    if (auto stream = ComRef<IPersistStreamInit>::Query(dispatch_.Get(), IID_IPersistStreamInit)) {
        status = stream->InitNew();
    } else if (auto bag =
                   ComRef<IPersistPropertyBag>::Query(dispatch_.Get(), IID_IPersistPropertyBag)) {
        status = bag->InitNew();
    } else if (auto storage =
                   ComRef<IPersistStorage>::Query(dispatch_.Get(), IID_IPersistStorage)) {
        ComRef<ILockBytes> bytes;
        ComRef<IStorage> memory;
        status = CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put());
        if (SUCCEEDED(status))
            status = StgCreateDocfileOnILockBytes(
                bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, memory.Put());
        if (SUCCEEDED(status))
            status = storage->InitNew(memory.Get());
    }
    if (FAILED(status))
        throw ImagingControlError(kControl + " refused to be initialised (InitNew, " +
                                  StatusText(status) + ").");
}

void HostedControl::End()
{
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
    }
    object_.Reset();
    dispatch_.Reset();
    site_.Reset();
}

void CheckDispatchIds(IDispatch* control)
{
    struct Member {
        const wchar_t* name;
        DISPID id;
    };
    static constexpr Member kMembers[] = {{L"ScaleMethod", ImageManDispId::ScaleMethod},
                                          {L"Picture", ImageManDispId::Picture},
                                          {L"Refresh", ImageManDispId::Refresh},
                                          {L"AppendImage", ImageManDispId::AppendImage},
                                          {L"Compression", ImageManDispId::Compression},
                                          {L"SaveAs", ImageManDispId::SaveAs}};
    for (const Member& member : kMembers) {
        LPOLESTR name = const_cast<LPOLESTR>(member.name);
        DISPID id = DISPID_UNKNOWN;
        HRESULT status = control->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (status == E_NOTIMPL)
            return;
        std::string named = ToAnsi(member.name).text;
        if (status == DISP_E_UNKNOWNNAME)
            throw ImagingControlError(kControl + " has no member " + named +
                                      ": it is not the imaging control this program drives.");
        if (SUCCEEDED(status) && id != member.id)
            throw ImagingControlError(kControl + " gives its member " + named +
                                      " the dispatch identifier " + std::to_string(id) +
                                      ", where this program uses " + std::to_string(member.id) +
                                      ": it is not the imaging control this program drives.");
    }
}
