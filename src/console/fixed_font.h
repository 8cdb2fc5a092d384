#pragma once
// The console's font: face, height, pitch, style and colour of the text, plus the
// background colour of the cells. Every change of an attribute fires OnChange.
#include <cstdint>
#include <functional>
#include <string>

#include <windows.h>

#include "base/scoped_handle.h"

// A colour: an RGB value, or with the top bit set a system colour index in the low bits.
using TColor = std::uint32_t;
constexpr TColor clWindow = 0x80000005;      // COLOR_WINDOW
constexpr TColor clWindowText = 0x80000008;  // COLOR_WINDOWTEXT

// The RGB value a colour stands for now.
COLORREF ColorToRGB(TColor color);

enum class TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };

using TFontStyles = std::uint8_t;
constexpr TFontStyles fsBold = 0x01;
constexpr TFontStyles fsItalic = 0x02;
constexpr TFontStyles fsUnderline = 0x04;
constexpr TFontStyles fsStrikeOut = 0x08;

class TFixedFont {
public:
    // "Courier New", height 0 (the face's default), default pitch, no style,
    // clWindowText on clWindow.
    TFixedFont();
    // The attributes of an existing platform font (for example a stock font).
    explicit TFixedFont(const LOGFONTA& font);

    // Copies attributes only: the copy has no change notification and makes its own
    // platform font when asked for one.
    TFixedFont(const TFixedFont& other);
    TFixedFont& operator=(const TFixedFont& other) = delete;

    // Copies all attributes, BkColor included, then fires OnChange once. When the
    // notification raises, BkColor gets its old value back and the error goes on.
    void Assign(const TFixedFont& source);

    const std::string& Name() const { return name_; }
    int Height() const { return height_; }
    TFontPitch Pitch() const { return pitch_; }
    TFontStyles Style() const { return style_; }
    TColor Color() const { return color_; }
    TColor BkColor() const { return bkColor_; }

    // A face name is cut to the 31 characters the platform keeps. Setting an attribute
    // to the value it has is no change and fires nothing.
    void SetName(const std::string& name);
    void SetHeight(int height);
    void SetPitch(TFontPitch pitch);
    void SetStyle(TFontStyles style);
    void SetColor(TColor color);
    void SetBkColor(TColor color);

    // Face, height, pitch and style agree: both give the same platform font.
    bool SameFace(const TFixedFont& other) const;

    // The platform font for the current attributes, made on first use and owned here.
    // Raises Exception when the system cannot make it.
    HFONT Handle();

    std::function<void()> OnChange;

private:
    void Changed();

    std::string name_ = "Courier New";
    int height_ = 0;
    TFontPitch pitch_ = TFontPitch::fpDefault;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    TColor bkColor_ = clWindow;
    ScopedFont handle_;
};
