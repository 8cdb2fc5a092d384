#pragma once
// The imaging control hosted as ActiveX containers host a control: created through its
// class object (with the program's runtime licence key where it asks for one), given
// its site and its initial state in the order containers use, activated in place where
// it supports that; closed and released at the end, before OLE is uninitialised.
#include <string_view>

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include "base/com_ref.h"
#include "base/exception.h"
#include "imaging/control_site.h"

// The control cannot be used; the message names the cause and what to do.
class ImagingControlError : public Exception {
public:
    using Exception::Exception;
    const char* Kind() const noexcept override { return "ImagingControlError"; }
};

class HostedControl {
public:
    // Raises ImagingControlError. An empty key creates the control without one.
    HostedControl(HWND parent, RECT place, std::wstring_view licenseKey);
    ~HostedControl();
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    IDispatch* Dispatch() const { return dispatch_.Get(); }

private:
    void Create(std::wstring_view licenseKey);
    void SetUp(HWND parent, RECT place);
    void InitNew();
    void End();

    ComRef<IDispatch> dispatch_;
    // Empty for a control that is only an automation object.
    ComRef<IOleObject> object_;
    ComRef<ControlSite> site_;
};

// Raises ImagingControlError when the control names one of the members the program
// drives with another dispatch identifier than the program uses. A control that names
// none is taken as it is.
void CheckDispatchIds(IDispatch* control);
