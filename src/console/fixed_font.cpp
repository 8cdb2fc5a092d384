#include "console/fixed_font.h"

#include <cstring>

#include "base/exception.h"

namespace {

constexpr std::size_t MaxFaceName = LF_FACESIZE - 1;

std::string CutFaceName(const std::string& name) { return name.substr(0, MaxFaceName); }

}  // namespace

COLORREF ColorToRGB(TColor color)
{
    if (color & 0x80000000u)
        return GetSysColor(int(color & 0xFF));
    return COLORREF(color & 0x00FFFFFFu);
}

TFixedFont::TFixedFont() = default;

TFixedFont::TFixedFont(const LOGFONTA& font)
        : name_(CutFaceName(std::string(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE)))),
          height_(int(font.lfHeight))
{
    switch (font.lfPitchAndFamily & 0x03) {
    case FIXED_PITCH:
        pitch_ = TFontPitch::fpFixed;
        break;
    case VARIABLE_PITCH:
        pitch_ = TFontPitch::fpVariable;
        break;
    default:
        pitch_ = TFontPitch::fpDefault;
        break;
    }
    if (font.lfWeight >= FW_BOLD)
        style_ |= fsBold;
    if (font.lfItalic)
        style_ |= fsItalic;
    if (font.lfUnderline)
        style_ |= fsUnderline;
    if (font.lfStrikeOut)
        style_ |= fsStrikeOut;
}

TFixedFont::TFixedFont(const TFixedFont& other)
        : name_(other.name_), height_(other.height_), pitch_(other.pitch_), style_(other.style_),
          color_(other.color_), bkColor_(other.bkColor_)
{
}

void TFixedFont::Assign(const TFixedFont& source)
{
    TColor oldBkColor = bkColor_;
    bkColor_ = source.bkColor_;
    try {
        if (!SameFace(source))
            handle_.Reset();
        name_ = source.name_;
        height_ = source.height_;
        pitch_ = source.pitch_;
        style_ = source.style_;
        color_ = source.color_;
        Changed();
    } catch (...) {
        bkColor_ = oldBkColor;
        throw;
    }
}

void TFixedFont::SetName(const std::string& name)
{
    std::string cut = CutFaceName(name);
    if (cut == name_)
        return;
    name_ = cut;
    handle_.Reset();
    Changed();
}

void TFixedFont::SetHeight(int height)
{
    if (height == height_)
        return;
    height_ = height;
    handle_.Reset();
    Changed();
}

void TFixedFont::SetPitch(TFontPitch pitch)
{
    if (pitch == pitch_)
        return;
    pitch_ = pitch;
    handle_.Reset();
    Changed();
}

void TFixedFont::SetStyle(TFontStyles style)
{
    if (style == style_)
        return;
    style_ = style;
    handle_.Reset();
    Changed();
}

void TFixedFont::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Changed();
}

void TFixedFont::SetBkColor(TColor color)
{
    if (color == bkColor_)
        return;
    bkColor_ = color;
    Changed();
}

bool TFixedFont::SameFace(const TFixedFont& other) const
{
    return name_ == other.name_ && height_ == other.height_ && pitch_ == other.pitch_ &&
           style_ == other.style_;
}

HFONT TFixedFont::Handle()
{
    if (handle_)
        return handle_.Get();
    LOGFONTA font{};
    font.lfHeight = height_;
    font.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    font.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
    font.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
    font.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    switch (pitch_) {
    case TFontPitch::fpFixed:
        font.lfPitchAndFamily = FIXED_PITCH;
        break;
    case TFontPitch::fpVariable:
        font.lfPitchAndFamily = VARIABLE_PITCH;
        break;
    case TFontPitch::fpDefault:
        font.lfPitchAndFamily = DEFAULT_PITCH;
        break;
    }
    std::memcpy(font.lfFaceName, name_.data(), name_.size());  // at most 31, zero after
    handle_.Reset(CreateFontIndirectA(&font));
    if (!handle_)
        throw Exception("TFixedFont: the system cannot make the font " + name_);
    return handle_.Get();
}

void TFixedFont::Changed()
{
    if (OnChange)
        OnChange();
}
