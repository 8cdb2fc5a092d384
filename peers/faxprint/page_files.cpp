#include "page_files.h"

#include <cctype>
#include <stdexcept>

#include "pbm.h"
#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/tiff_error.h"

namespace {

const faxtiff::Resolution kFaxResolution{{204, 1}, {196, 1}, 2};

void Write(const faxtiff::Page& page, const std::string& path)
{
    try {
        faxtiff::WritePage(path, page, faxtiff::SaveCompression::Group3OneD);
    } catch (const faxtiff::TiffError& error) {
        throw std::runtime_error("cannot write " + path + ": " + error.what());
    }
}

bool IsPbm(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".pbm";
}

}  // namespace

void WriteRenderedPage(const PageBitmap& page, const std::string& path)
{
    Write(faxtiff::Page::FromBitmap(page, 0, kFaxResolution), path);
}

void ConvertPageFile(const std::string& source, const std::string& path)
{
    if (IsPbm(source)) {
        WriteRenderedPage(ReadPbm(source), path);
        return;
    }
    try {
        Write(faxtiff::LoadPage(source), path);
    } catch (const faxtiff::TiffError& error) {
        throw std::runtime_error("cannot read " + source + ": " + error.what());
    }
}
