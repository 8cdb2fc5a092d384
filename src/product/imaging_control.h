#pragma once
// The imaging control's contract: its class identifier and the dispatch identifiers
// of the members the program drives through IDispatch::Invoke.
#include <windows.h>
#include <oaidl.h>

// {0EABA3C0-D884-101B-8CAE-00006E44AAB2}
inline constexpr CLSID CLSID_ImageMan = {
    0x0EABA3C0, 0xD884, 0x101B, {0x8C, 0xAE, 0x00, 0x00, 0x6E, 0x44, 0xAA, 0xB2}};
inline constexpr char kImageManClassText[] = "{0EABA3C0-D884-101B-8CAE-00006E44AAB2}";

namespace ImageManDispId {
constexpr DISPID Refresh = -550;  // the stock method
constexpr DISPID Compression = 11;
constexpr DISPID ScaleMethod = 17;
constexpr DISPID AppendImage = 18;
constexpr DISPID Picture = 23;
constexpr DISPID SaveAs = 63;
}  // namespace ImageManDispId
