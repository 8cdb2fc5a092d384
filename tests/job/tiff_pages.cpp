#include "job_fixture.h"

#include "tiff/page.h"
#include "tiff/tiff_error.h"

::testing::AssertionResult HasPages(const std::string& file, const std::vector<int>& samples)
{
    try {
        faxtiff::TiffFile merged = faxtiff::TiffFile::Open(file);
        if (merged.PageCount() != samples.size())
            return ::testing::AssertionFailure()
                   << file << " has " << merged.PageCount() << " pages, not " << samples.size();
        for (std::size_t i = 0; i < samples.size(); ++i) {
            faxtiff::Page page = merged.ReadPage(i);
            faxtiff::Page sample = faxtiff::LoadPage(SamplePage(samples[i]));
            if (!(page.Bitmap() == sample.Bitmap()))
                return ::testing::AssertionFailure() << "page " << i + 1 << " of " << file
                                                     << " differs from sample " << samples[i];
            if (page.Info().resolution != sample.Info().resolution)
                return ::testing::AssertionFailure() << "page " << i + 1 << ": resolution lost";
        }
        return ::testing::AssertionSuccess();
    } catch (const faxtiff::TiffError& error) {
        return ::testing::AssertionFailure() << file << ": " << error.what();
    }
}
