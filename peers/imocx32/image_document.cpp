#include "image_document.h"

#include <stdexcept>

#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/save_compression.h"
#include "tiff/tiff_error.h"

struct ImageDocument::Image {
    faxtiff::Page page;
};

ImageDocument::ImageDocument() = default;
ImageDocument::~ImageDocument() = default;

void ImageDocument::SetCompression(short value)
{
    try {
        faxtiff::SaveCompressionFromCode(static_cast<std::uint16_t>(value));
    } catch (const faxtiff::TiffError& error) {
        throw std::runtime_error(std::string("Compression: ") + error.what());
    }
    compression_ = value;
}

void ImageDocument::Load(const std::string& path)
{
    try {
        image_ = std::make_unique<Image>(Image{faxtiff::LoadPage(path)});
    } catch (const faxtiff::TiffError& error) {
        throw std::runtime_error("Cannot load " + path + ": " + error.what());
    }
}

void ImageDocument::SaveAs(const std::string& path)
{
    if (!image_)
        throw std::runtime_error("Cannot save " + path + ": no image is loaded");
    try {
        auto compression =
            faxtiff::SaveCompressionFromCode(static_cast<std::uint16_t>(compression_));
        if (appendImage_) {
            std::optional<faxtiff::AppendPoint> known;
            if (path == appendPath_)
                known.swap(appendPoint_);
            appendPoint_ = faxtiff::AppendPage(path, image_->page, compression, known);
            appendPath_ = path;
        } else
            faxtiff::WritePage(path, image_->page, compression);
    } catch (const faxtiff::TiffError& error) {
        throw std::runtime_error("Cannot save " + path + ": " + error.what());
    }
}
