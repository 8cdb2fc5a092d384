#include "text_pages.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace {

constexpr int kMarginLeft = 64;
constexpr int kMarginTop = 80;
constexpr int kCharWidth = 20;   // 10 characters per inch at 204 dpi
constexpr int kLineHeight = 32;  // 6 lines per inch at 196 dpi
constexpr std::size_t kColumns = (kPageWidth - 2 * kMarginLeft) / kCharWidth;
constexpr std::size_t kLinesPerPage = (kPageHeight - 2 * kMarginTop) / kLineHeight;
constexpr const char* kPageBreak = "\f";

// Draws lines onto one DIB section and copies its bits into pages.
class PageCanvas {
public:
    PageCanvas()
    {
        dc_ = CreateCompatibleDC(nullptr);
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[2];
        } info{};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = kPageWidth;
        info.header.biHeight = -static_cast<LONG>(kPageHeight);  // top row first
        info.header.biPlanes = 1;
        info.header.biBitCount = 1;
        info.header.biCompression = BI_RGB;
        info.colours[0] = {0, 0, 0, 0};        // bit 0: black
        info.colours[1] = {255, 255, 255, 0};  // bit 1: white
        bitmap_ = CreateDIBSection(dc_, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                   &bits_, nullptr, 0);
        font_ = CreateFontA(-28, kCharWidth, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                            FIXED_PITCH | FF_MODERN, "Courier New");
        if (!dc_ || !bitmap_ || !font_)
            throw std::runtime_error("cannot set up GDI to render the pages");
        oldBitmap_ = SelectObject(dc_, bitmap_);
        oldFont_ = SelectObject(dc_, font_);
        SetTextColor(dc_, RGB(0, 0, 0));
        SetBkMode(dc_, TRANSPARENT);
    }
    ~PageCanvas()
    {
        SelectObject(dc_, oldFont_);
        SelectObject(dc_, oldBitmap_);
        DeleteObject(font_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    PageCanvas(const PageCanvas&) = delete;
    PageCanvas& operator=(const PageCanvas&) = delete;

    PageBitmap Render(const std::vector<std::string>& lines)
    {
        RECT all{0, 0, static_cast<LONG>(kPageWidth), static_cast<LONG>(kPageHeight)};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        int y = kMarginTop;
        for (const std::string& line : lines) {
            TextOutA(dc_, kMarginLeft, y, line.data(), static_cast<int>(line.size()));
            y += kLineHeight;
        }
        GdiFlush();

        PageBitmap page(kPageWidth, kPageHeight);
        // DIB rows are padded to 4 bytes; 1728 bits are 216 bytes, already aligned.
        const auto* source = static_cast<const std::uint8_t*>(bits_);
        const std::size_t rowBytes = page.RowBytes();
        for (std::uint32_t y = 0; y < kPageHeight; ++y, source += rowBytes) {
            std::uint8_t* row = page.Row(y);
            for (std::size_t i = 0; i < rowBytes; ++i)
                row[i] = static_cast<std::uint8_t>(~source[i]);  // DIB bit 0 is black
        }
        return page;
    }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    void* bits_ = nullptr;
};

// Splits the laid-out lines into pages at form feeds and the page length.
std::vector<std::vector<std::string>> Paginate(const std::vector<std::string>& lines)
{
    std::vector<std::vector<std::string>> pages(1);
    for (const std::string& line : lines) {
        if (line == kPageBreak || pages.back().size() == kLinesPerPage) {
            pages.emplace_back();
            if (line == kPageBreak)
                continue;
        }
        pages.back().push_back(line);
    }
    return pages;
}

}  // namespace

std::vector<std::string> LayOutLines(const std::string& text, std::size_t columns)
{
    std::vector<std::string> lines;
    std::string current;
    bool justWrapped = false;  // a line end right after a wrap adds no empty line
    auto endLine = [&] {
        lines.push_back(current);
        current.clear();
    };
    auto add = [&](char c) {
        current += c;
        justWrapped = current.size() == columns;
        if (justWrapped)
            endLine();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == '\r' || c == '\n') {
            if (!justWrapped)
                endLine();
            justWrapped = false;
        } else if (c == '\f') {
            if (!current.empty())
                endLine();
            lines.push_back(kPageBreak);
            justWrapped = false;
        } else if (c == '\t') {
            do
                add(' ');
            while (current.size() % 8 != 0);
        } else if (static_cast<unsigned char>(c) >= 32) {
            add(c);
        }
    }
    if (!current.empty())
        endLine();
    return lines;
}

std::vector<PageBitmap> RenderTextPages(const std::string& text, int pageCount)
{
    std::vector<std::vector<std::string>> layout = Paginate(LayOutLines(text, kColumns));
    if (pageCount > 0) {
        std::vector<std::vector<std::string>> exact;
        for (int i = 0; i < pageCount; ++i)
            exact.push_back(layout[i % layout.size()]);
        layout = std::move(exact);
    }
    PageCanvas canvas;
    std::vector<PageBitmap> pages;
    for (const auto& lines : layout)
        pages.push_back(canvas.Render(lines));
    return pages;
}
