#include "image_document.h"

#include <stdexcept>
#include <utility>

#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/page_coding.h"
#include "tiff/save_compression.h"
#include "tiff/tiff_error.h"

// The page coded for saving: decoding it for the coding is what proves at load time
// that it is sound, and a save with the compression unchanged writes it as it is, with
// no bitmap of the page.
struct ImageDocument::Image {
    faxtiff::CodedPage coded;
    faxtiff::SaveCompression codedAs;
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
        auto compression =
            faxtiff::SaveCompressionFromCode(static_cast<std::uint16_t>(compression_));
        faxtiff::CodedPage coded =
            faxtiff::ReadRecoded(faxtiff::TiffFile::Open(path), 0, compression);
        image_ = std::make_unique<Image>(Image{std::move(coded), compression});
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
        if (compression != image_->codedAs) {
            image_->coded = faxtiff::RecodePage(image_->coded, compression);
            image_->codedAs = compression;
        }
        if (appendImage_) {
            std::optional<faxtiff::AppendPoint> known;
            if (path == appendPath_)
                known.swap(appendPoint_);
            appendPoint_ = faxtiff::AppendPage(path, image_->coded, known);
            appendPath_ = path;
        } else
            faxtiff::WritePage(path, image_->coded);
    } catch (const faxtiff::TiffError& error) {
        throw std::runtime_error("Cannot save " + path + ": " + error.what());
    }
}
