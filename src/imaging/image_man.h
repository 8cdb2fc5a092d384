#pragma once
// The imaging control that merges the page images, driven only through
// IDispatch::Invoke. Every failure raises an Exception with the control's own text.
#include <string>

#include <windows.h>
#include <oaidl.h>

// {0EABA3C0-D884-101B-8CAE-00006E44AAB2}
inline constexpr CLSID CLSID_ImageMan = {
    0x0EABA3C0, 0xD884, 0x101B, {0x8C, 0xAE, 0x00, 0x00, 0x6E, 0x44, 0xAA, 0xB2}};

// Dispatch identifiers of the control's interface.
namespace ImageManDispId {
constexpr DISPID Refresh = -550;  // the stock method
constexpr DISPID Compression = 11;
constexpr DISPID ScaleMethod = 17;
constexpr DISPID AppendImage = 18;
constexpr DISPID Picture = 23;
constexpr DISPID SaveAs = 63;
}  // namespace ImageManDispId

class TImageMan {
public:
    // Creates the control by its class identifier; raises when it is missing or
    // not registered. COM must be initialised on this thread.
    TImageMan();
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

    // Seam for tests: calls of this member fail as the control's own failures do.
    static DISPID FailingDispId;

private:
    void Invoke(DISPID id, WORD flags, DISPPARAMS& parameters, const char* what);
    void PutProperty(DISPID id, VARIANT& value, const char* what);
    void PutShort(DISPID id, short value, const char* what);
    void Call(DISPID id, VARIANT* arguments, UINT count, const char* what);

    IDispatch* control_ = nullptr;
};
