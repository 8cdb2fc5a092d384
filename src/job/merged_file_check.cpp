#include "job/merged_file_check.h"

#include <windows.h>

#include "base/file_exists.h"
#include "base/scoped_handle.h"
#include "job/fnv_hash.h"
#include "tiff/page.h"
#include "tiff/tiff_error.h"

namespace {

PageFingerprint FingerprintOf(const faxtiff::CodedPage& page)
{
    FnvHash print;
    print.AddNumber(page.info.width);
    print.AddNumber(page.info.length);
    print.AddNumber(page.info.compression);
    print.AddNumber(page.strips.size());
    for (const auto& strip : page.strips) {
        print.AddNumber(strip.size());
        print.Add(strip.data(), strip.size());
    }
    return print.Value();
}

}  // namespace

std::optional<std::vector<PageFingerprint>> ReadPageFingerprints(const std::string& file)
{
    if (!FileExistsNamed(file))
        return std::vector<PageFingerprint>{};
    try {
        faxtiff::TiffFile tiff = faxtiff::TiffFile::Open(file);
        std::vector<PageFingerprint> prints;
        for (std::size_t i = 0; i < tiff.PageCount(); ++i)
            prints.push_back(FingerprintOf(tiff.ReadCoded(i)));
        return prints;
    } catch (const faxtiff::TiffError&) {
        return std::nullopt;
    }
}

SaveCheck CheckSave(const std::string& file, const std::vector<PageFingerprint>& before)
{
    if (!FileExistsNamed(file))
        return {before.empty() ? SaveCheck::NotAdded : SaveCheck::Damaged};
    try {
        faxtiff::TiffFile tiff = faxtiff::TiffFile::Open(file);
        std::size_t count = tiff.PageCount();
        // Only the page the control may have linked last, and the page before it, are
        // read: every page is compared once more before the fax is handed on.
        auto unchanged = [&](std::size_t index) {
            return index >= before.size() || FingerprintOf(tiff.ReadCoded(index)) == before[index];
        };
        if (count == before.size() && count > 0 && unchanged(count - 1))
            return {SaveCheck::NotAdded};
        if (count == before.size() + 1 && (before.empty() || unchanged(count - 2)))
            return {SaveCheck::Added, FingerprintOf(tiff.ReadPage(count - 1).Coded())};
    } catch (const faxtiff::TiffError&) {
    }
    return {SaveCheck::Damaged};
}

bool FlushNamedFile(const std::string& file)
{
    ScopedFile handle(CreateFileA(file.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle && FlushFileBuffers(handle.Get());
}
