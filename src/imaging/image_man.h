#pragma once
// The imaging control that merges the page images, driven only through
// IDispatch::Invoke. Every failure raises an Exception with the control's own text.
#include <memory>
#include <string>
#include <string_view>

#include <windows.h>
#include <oaidl.h>

#include "imaging/control_host.h"
#include "product/imaging_control.h"

class TImageMan {
public:
    // Hosts the control in place in parent (see HostedControl); raises
    // ImagingControlError when it cannot be used. OLE must be initialised on this thread.
    TImageMan(HWND parent, RECT place, std::wstring_view licenseKey);
    // Drives a control already created (it takes a reference of its own).
    explicit TImageMan(IDispatch* control);
    ~TImageMan();
    TImageMan(const TImageMan&) = delete;
    TImageMan& operator=(const TImageMan&) = delete;

    void SetScaleMethod(short value);
    // Loads the image file as the control's current image.
    void SetPicture(const std::string& fileName);
    void Refresh();
    void SetAppendImage(bool value);
    void SetCompression(short value);
    // Writes the current image to fileName; with AppendImage as its new last page.
    void SaveAs(const std::string& fileName);

private:
    void Invoke(DISPID id, WORD flags, DISPPARAMS& parameters, const char* what);
    void PutProperty(DISPID id, VARIANT& value, const char* what);
    void PutShort(DISPID id, short value, const char* what);
    void Call(DISPID id, VARIANT* arguments, UINT count, const char* what);

    std::unique_ptr<HostedControl> host_;
    IDispatch* control_;
};
