#pragma once
// A print job on disk as the printer driver leaves it, run through a real TPrintJob
// with the real imaging control, in a scratch directory that also serves as the
// Windows directory (settings file), the spool and the private directory.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/image_man.h"
#include "base/text_conversion.h"
#include "job/print_job.h"
#include "recording_console.h"
#include "test_surroundings.h"
#include "test_support.h"

class JobFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Writes the job-description file; pages maps page numbers to image names.
    void WriteJob(const std::string& firstPage, const std::string& totalPages,
                  const std::map<int, std::string>& pages);
    // Copies a sample page (page1.tif ... page3.tif, made by ImageMagick) into the spool.
    std::string SpoolPage(int sample, const std::string& name);
    void WriteSettings(const std::string& extra = "");
    // Runs the end of the document on the stored names.
    void EndDoc();
    // A new job with this control (nullptr: none) instead of the one made at SetUp.
    void DriveControl(std::unique_ptr<TImageMan> control);

    std::string Spool() const { return dir.Path() + "\\spool"; }
    std::string Private() const { return dir.Path() + "\\private\\"; }
    std::string Prog() const { return dir.Path() + "\\FAX\\PROG\\"; }
    std::string JobIni() const { return Spool() + "\\JOB1.INI"; }
    std::string Merged() const { return Spool() + "\\JOB1.TIF"; }
    std::string SchedulerImage() const { return Private() + "FAX.$$$"; }
    // The program's per-user records.
    std::wstring RecordFolder() const { return ToWide(dir / "records"); }
    // The name the file was kept aside under ("<name>-kept-...<extension>"); empty when
    // there is not exactly one.
    static std::string KeptName(const std::string& original);

    TempDir dir;
    RecordingConsole console;
    TestSurroundings surroundings;
    std::vector<std::string>& infoBoxes = surroundings.boxes;
    std::unique_ptr<TImageMan> im;
    std::unique_ptr<TPrintJob> job;
};

// A notification block as the printer-pipe library builds it: size bytes, the path
// after the code and the unused bytes, zero-terminated when there is room and terminate
// is set (a malformed block otherwise).
HGLOBAL MakeNotice(std::uint32_t code, const std::wstring& path, SIZE_T size, bool terminate);
// A well-formed one.
HGLOBAL MakeNotice(std::uint32_t code, const std::wstring& path);

// Initialises OLE and registers the imaging control from beside the tests, as regsvr32
// would.
void RegisterImagingControl();

// Whether the file's pages are the samples, in this order (pixels compared).
::testing::AssertionResult HasPages(const std::string& file, const std::vector<int>& samples);
