#pragma once
// The control's state: the current image and the settings the next save uses.
#include <memory>
#include <optional>
#include <string>

#include "tiff/page_append.h"

class ImageDocument {
public:
    ImageDocument();
    ~ImageDocument();

    // Scaling only matters for showing the image, which this control never does.
    void SetScaleMethod(short) {}
    // Refuses compression codes the engine cannot write.
    void SetCompression(short value);
    void SetAppendImage(bool value) { appendImage_ = value; }

    // The first page of the file becomes the current image; raises when it cannot.
    void Load(const std::string& path);
    // Writes the current image to path: with AppendImage as a new last page (the file
    // is created when missing), else as the file's only page.
    void SaveAs(const std::string& path);

private:
    struct Image;
    std::unique_ptr<Image> image_;
    short compression_ = 4;
    bool appendImage_ = false;
    // Where the last append left its file: the next append to it, while the file is
    // unchanged, goes there without walking the pages already in it.
    std::string appendPath_;
    std::optional<faxtiff::AppendPoint> appendPoint_;
};
