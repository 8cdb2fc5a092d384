#include "job_fixture.h"

#include "failing_control.h"
#include "notice_receiver.h"

#include "job/merge_marker.h"
#include "tiff/page.h"
#include "tiff/page_append.h"

namespace {

using Lines = std::vector<std::string>;

class Merge : public JobFixture {};

}  // namespace

TEST_F(Merge, PagesFromFirstToTotalInOrder)
{
    std::string p1 = SpoolPage(1, "JOB1_P1.TIF");
    std::string p2 = SpoolPage(2, "JOB1_P2.TIF");
    std::string p3 = SpoolPage(3, "JOB1_P3.TIF");
    WriteJob("1", "3", {{1, p1}, {2, p2}, {3, p3}});
    EndDoc();

    EXPECT_TRUE(HasPages(SchedulerImage(), {1, 2, 3}));
    for (const std::string& gone : {p1, p2, p3, JobIni(), Merged(), Spool() + "\\JOB1.MRG"})
        EXPECT_FALSE(FileExists(gone)) << gone;
    // The image waits for a scheduler: no page was left out.
    EXPECT_EQ(infoBoxes, Lines{"Could not find scheduler."});

    Lines expected = {"==============START: PMT_END_DOC",
                      "After sleep",
                      "After readQFSchIni",
                      "After prep for FAX.$$$",
                      "After change file extionsion: " + Merged(),
                      "Opened " + JobIni() + " read appendPage",
                      "SectionName=Print Page 1",
                      "TotPage = 3",
                      "FirstPage=1"};
    for (int n = 1; n <= 3; ++n) {
        std::string image = Spool() + "\\JOB1_P" + std::to_string(n) + ".TIF";
        Lines page = {
            "pageNum = " + std::to_string(n),        "pageName = Print Page " + std::to_string(n),
            "imageName = " + job->OutputImageName,   "imageName exists",
            "verified exclusive access to " + image, "before assigning im.picture = " + image,
            "after assigning im.picture = " + image, "Loaded image ok",
            "before im.saveAs = " + Merged(),        "after im.saveAs = " + Merged()};
        expected.insert(expected.end(), page.begin(), page.end());
    }
    // Each page image goes once the fax that holds it is handed on.
    expected.insert(expected.end(),
                    {"freed ini file..", "gxapi filename is blank. Loading scheduler."});
    for (const std::string& image : {p1, p2, p3})
        expected.push_back("before deletefile " + image);
    expected.push_back("==============FINISHED: PMT_END_DOC");
    EXPECT_EQ(console.Messages(), expected);
}

TEST_F(Merge, FirstPageAndHexTotalChooseTheRange)
{
    std::string p2 = SpoolPage(2, "b.tif");
    std::string p3 = SpoolPage(3, "c.tif");
    std::string p1 = SpoolPage(1, "a.tif");
    WriteJob("2", "0x3", {{1, p1}, {2, p2}, {3, p3}});
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {2, 3}));
    EXPECT_TRUE(FileExists(p1)) << "page 1 is not part of the job";
}

TEST_F(Merge, MissingSectionsAndFilesAreSkipped)
{
    std::string p1 = SpoolPage(1, "a.tif");
    std::string p4 = SpoolPage(3, "d.tif");
    WriteJob("1", "4", {{1, p1}, {3, Spool() + "\\missing.tif"}, {4, p4}});
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {1, 3}));
    Lines lines = console.Messages();
    EXPECT_TRUE(console.Logged("pageName = Print Page 2"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "imageName exists"), 2);
    ASSERT_FALSE(infoBoxes.empty());
    EXPECT_EQ(infoBoxes.front(), "Pages left out of the fax:\r\npage 2 (no image named): \r\n"
                                 "page 3 (not found): " +
                                     Spool() + "\\missing.tif");
}

TEST_F(Merge, NothingMergedWithoutPages)
{
    for (auto [first, total] : {std::pair{"1", "0"}, std::pair{"3", "2"}}) {
        console.written.clear();
        std::string p1 = SpoolPage(1, "a.tif");
        WriteJob(first, total, {{1, p1}, {2, p1}, {3, p1}});
        EndDoc();
        EXPECT_TRUE(FileExists(p1)) << first << ".." << total;
        EXPECT_FALSE(FileExists(SchedulerImage()));
        Lines lines = console.Messages();
        EXPECT_TRUE(console.Logged("freed ini file.."));
        EXPECT_TRUE(console.Logged("gxapi filename is blank. Loading scheduler."));
    }
    console.written.clear();
    job->JobIniName = Spool() + "\\NOJOB.INI";
    EndDoc();
    EXPECT_TRUE(console.Logged("SectionName="));
}

TEST_F(Merge, PagesAreAddedBehindAnExistingMergedFile)
{
    ASSERT_TRUE(CopyFileA(SamplePage(3).c_str(), Merged().c_str(), FALSE));
    WriteJob("1", "2", {{1, SpoolPage(1, "a.tif")}, {2, SpoolPage(2, "b.tif")}});
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {3, 1, 2}));
}

TEST_F(Merge, NameWithoutExtensionInADottedDirectory)
{
    // Windows takes "/" as a separator too: the dot belongs to the directory either way.
    std::string dotted = Spool() + "\\v1.2";
    CreateDirectoryA(dotted.c_str(), nullptr);
    // The name a scan that misses a separator would give: another file, never touched.
    WriteFileText(Spool() + "\\v1.TIF", "unrelated");
    for (const char* separator : {"\\", "/"}) {
        console.written.clear();
        job->JobIniName = dotted + separator + "JOB";
        WriteFileText(job->JobIniName,
                      "[Orvik Printer]\r\nFirst Page Section=x\r\nTotal Page Number=1\r\n"
                      "First Page=1\r\n[Print Page 1]\r\nImage File Name=" +
                          SpoolPage(1, "a.tif") + "\r\n");
        EndDoc();
        EXPECT_TRUE(
            console.Logged("After change file extionsion: " + dotted + separator + "JOB.TIF"));
        EXPECT_TRUE(HasPages(SchedulerImage(), {1})) << separator;
        EXPECT_EQ(ReadFileText(Spool() + "\\v1.TIF"), "unrelated") << separator;
    }
}

TEST_F(Merge, PageHeldOpenByAnotherProcessIsSkippedAndStays)
{
    std::string p1 = SpoolPage(1, "a.tif");
    std::string p2 = SpoolPage(2, "b.tif");
    std::string p3 = SpoolPage(3, "c.tif");
    WriteJob("1", "3", {{1, p1}, {2, p2}, {3, p3}});
    {
        HeldOpenFile held(p2);
        EndDoc();
    }
    EXPECT_TRUE(HasPages(SchedulerImage(), {1, 3}));
    EXPECT_TRUE(FileExists(p2)) << "held throughout: it cannot be kept aside";
    EXPECT_TRUE(FileExists(JobIni())) << "its name stays taken while the page is there";
    ASSERT_FALSE(infoBoxes.empty());
    EXPECT_EQ(infoBoxes.front(),
              "Pages left out of the fax:\r\npage 2 (in use by another program): " + p2);
    EXPECT_TRUE(console.Logged("verified exclusive access to " + p2));
    EXPECT_FALSE(console.Logged("before assigning im.picture = " + p2));
}

TEST_F(Merge, TheBoxGivesTheNumbersOfThePagesPastThoseItNames)
{
    WriteJob("1", "14", {{13, SpoolPage(1, "m.tif")}});
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {1}));
    ASSERT_FALSE(infoBoxes.empty());
    const std::string& box = infoBoxes.front();
    EXPECT_NE(box.find("\r\npage 10 (no image named): \r\n"), std::string::npos) << box;
    EXPECT_EQ(box.substr(box.rfind("\r\n")), "\r\nand 3 more: pages 11-12, 14") << box;
}

TEST_F(Merge, CorruptPageIsLoggedLeftOutAndKept)
{
    std::string p1 = SpoolPage(1, "a.tif");
    // A TIFF header whose first directory claims 65535 entries the file does not hold.
    std::string bad = Spool() + "\\bad.tif";
    WriteFileText(bad, std::string("II*\0\x08\0\0\0\xff\xff\x00\x01", 12));
    std::string p3 = SpoolPage(3, "c.tif");
    WriteJob("1", "3", {{1, p1}, {2, bad}, {3, p3}});
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {1, 3}));
    std::string kept = KeptName(bad);
    EXPECT_EQ(ReadFileText(kept).size(), 12u) << "the page is in no fax: it stays to be resent";
    EXPECT_FALSE(FileExists(bad)) << "a later job may take the name";
    ASSERT_FALSE(infoBoxes.empty());
    EXPECT_EQ(infoBoxes.front(),
              "Pages left out of the fax:\r\npage 2 (not a readable image): " + kept);
    Lines lines = console.Messages();
    auto failed = std::find(lines.begin(), lines.end(), "EXCEPTION assigning im.picture = " + bad);
    ASSERT_NE(failed, lines.end());
    EXPECT_EQ(*std::next(failed), "page image kept: " + bad);
}

TEST_F(Merge, AControlFailureOutsideTheGuardsSkipsTheRestOfThePage)
{
    std::string p1 = SpoolPage(1, "a.tif");
    WriteJob("1", "1", {{1, p1}});
    IDispatch* control = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ImageMan, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&control)),
              S_OK);
    FailingControl failing(control, ImageManDispId::AppendImage);
    DriveControl(std::make_unique<TImageMan>(&failing));
    EndDoc();
    DriveControl(nullptr);
    EXPECT_TRUE(HasPages(KeptName(p1), {1}));
    ASSERT_FALSE(infoBoxes.empty());
    EXPECT_EQ(infoBoxes.front(),
              "Pages left out of the fax:\r\npage 1 (imaging control failed): " + KeptName(p1));
    Lines lines = console.Messages();
    auto failed = std::find(lines.begin(), lines.end(), "EXCEPTION: outer im code");
    ASSERT_NE(failed, lines.end());
    EXPECT_EQ(*std::prev(failed), "Loaded image ok");
    EXPECT_EQ(*std::next(failed), "freed ini file..");
}

TEST_F(Merge, LongPageNamesAreUsedWhole)
{
    // A name of 258 characters; the file named by its first 255 is another one.
    std::string cut = Spool() + "\\" + std::string(253 - Spool().size(), 'p') + "q";
    ASSERT_EQ(cut.size(), 255u);
    std::string whole = cut + ".ti";
    WriteFileText(cut, "another file");
    ASSERT_TRUE(CopyFileA(SamplePage(2).c_str(), whole.c_str(), FALSE));
    WriteJob("1", "1", {{1, whole}});
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {2}));
    EXPECT_FALSE(FileExists(whole));
    EXPECT_EQ(ReadFileText(cut), "another file");
}

// The control is trusted with nothing: the program reads the merged file after each save,
// and every page image stays until the fax is handed on.
TEST_F(Merge, WhatASaveDidIsReadFromTheMergedFile)
{
    using Fault = FailingControl::SaveFault;
    struct Case {
        const char* what;
        Fault fault;
        int save;
        std::vector<int> fax;
        Lines boxes;
    };
    std::string missing = "page 3 (not saved by the imaging control): ";
    const Case cases[] = {
        {"a save reported but not done",
         Fault::Skip,
         3,
         {1, 2, 1, 2},
         {"Pages left out of the fax:\r\npage 3 (", "Could not find scheduler."}},
        {"a failed save that linked its page",
         Fault::LinkThenFail,
         3,
         {1, 2, 3, 1, 2},
         {"Could not find scheduler."}},
        {"a page written over the file",
         Fault::Overwrite,
         3,
         {1, 2, 3, 1, 2},
         {"The imaging control damaged the merged file: the fax is merged again from its page "
          "images.",
          "Could not find scheduler."}},
        {"every page written over the file",
         Fault::Overwrite,
         0,
         {},
         {"The imaging control damaged the merged file: the fax is merged again from its page "
          "images.",
          "The imaging control damaged the merged file again. The fax was not sent; its pages "
          "and job file stay: " +
              JobIni()}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        infoBoxes.clear();
        std::map<int, std::string> pages;
        for (int n = 1; n <= 5; ++n)
            pages[n] = SpoolPage((n - 1) % 3 + 1, "p" + std::to_string(n) + ".tif");
        WriteJob("1", "5", pages);
        IDispatch* control = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_ImageMan, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&control)),
                  S_OK);
        FailingControl failing(control, test.fault, test.save);
        DriveControl(std::make_unique<TImageMan>(&failing));
        EndDoc();
        DriveControl(nullptr);

        if (test.fax.empty()) {
            EXPECT_FALSE(FileExists(SchedulerImage()));
            for (const auto& [n, image] : pages)
                EXPECT_TRUE(FileExists(image)) << "page " << n << " stays to be sent again";
            EXPECT_TRUE(FileExists(JobIni()));
            EXPECT_FALSE(FileExists(Merged()));
        } else {
            EXPECT_TRUE(HasPages(SchedulerImage(), test.fax));
            for (const auto& [n, image] : pages)
                EXPECT_FALSE(FileExists(image)) << "page " << n;
        }
        ASSERT_EQ(infoBoxes.size(), test.boxes.size());
        for (std::size_t i = 0; i < infoBoxes.size(); ++i)
            EXPECT_EQ(infoBoxes[i].substr(0, test.boxes[i].size()), test.boxes[i]);
        if (test.fault == Fault::Skip) {
            std::string kept = KeptName(pages[3]);
            EXPECT_TRUE(HasPages(kept, {3}));
            EXPECT_EQ(infoBoxes.front(), "Pages left out of the fax:\r\n" + missing + kept);
            DeleteFileA(kept.c_str());
        }
        if (test.fault == Fault::LinkThenFail) {
            EXPECT_TRUE(console.Logged("the page is in the merged file all the same: " + pages[3]));
        }
        for (const auto& [n, image] : pages)
            DeleteFileA(image.c_str());
        DeleteFileA(SchedulerImage().c_str());
    }
}

TEST_F(Merge, APageInUseIsKeptAsideOnceItsHolderLetsGo)
{
    std::string p1 = SpoolPage(1, "a.tif");
    std::string p2 = SpoolPage(2, "b.tif");
    WriteJob("1", "2", {{1, p1}, {2, p2}});
    auto holder = std::make_unique<HeldOpenFile>(p2);
    surroundings.atBox = [&holder](const std::string&) { holder.reset(); };
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {1}));
    ASSERT_FALSE(infoBoxes.empty());
    EXPECT_EQ(infoBoxes.front(),
              "Pages left out of the fax:\r\npage 2 (in use by another program): " + p2);
    EXPECT_FALSE(FileExists(p2)) << "the printer's next job would overwrite it";
    EXPECT_TRUE(HasPages(KeptName(p2), {2}));
    EXPECT_FALSE(FileExists(JobIni()));
}

// Every page image is still there until the hand-off: a job sent again after a stop in
// its merge is merged again, whatever the stopped run left in the merged file.
TEST_F(Merge, AResentJobIsMergedAgainFromItsImages)
{
    std::string marker = Spool() + "\\JOB1.MRG";
    struct Stop {
        const char* what;
        std::string mergedFile;  // what the stopped run left
        std::size_t pagesBefore;
        std::vector<int> kept;  // the samples of a merged file kept aside
    };
    std::string twoPages = dir / "two.tif";
    for (int n : {1, 2})
        faxtiff::AppendPage(twoPages, faxtiff::LoadPage(SamplePage(n)),
                            faxtiff::SaveCompression::Group4);
    std::string cut = ReadFileText(twoPages);
    cut.resize(cut.size() - 100);
    const Stop stops[] = {
        {"after page 2 was saved", ReadFileText(twoPages), 0, {}},
        {"in a save that rebuilt the file, whose end never reached the disk", cut, 0, {}},
        {"with pages from before the job in the merged file", ReadFileText(twoPages), 1, {1, 2}},
    };
    for (const Stop& stop : stops) {
        SCOPED_TRACE(stop.what);
        infoBoxes.clear();
        std::map<int, std::string> pages;
        for (int n = 1; n <= 3; ++n)
            pages[n] = SpoolPage(n, "p" + std::to_string(n) + ".tif");
        WriteJob("1", "3", pages);
        WriteFileText(Merged(), stop.mergedFile);
        ASSERT_TRUE(StartMergeMarker(marker, JobFileStamp(JobIni()), stop.pagesBefore));
        EndDoc();
        EXPECT_TRUE(HasPages(SchedulerImage(), {1, 2, 3}));
        Lines boxes;
        if (!stop.kept.empty()) {
            std::string kept = KeptName(Merged());
            EXPECT_TRUE(HasPages(kept, stop.kept));
            boxes.push_back("The merged file of an interrupted job was kept as " + kept);
            DeleteFileA(kept.c_str());
        }
        boxes.push_back("Could not find scheduler.");
        EXPECT_EQ(infoBoxes, boxes);
        for (const std::string& gone : {marker, Merged(), JobIni(), pages[1], pages[2], pages[3]})
            EXPECT_FALSE(FileExists(gone)) << gone;
        DeleteFileA(SchedulerImage().c_str());
    }
}

TEST_F(Merge, AMergedFileAJobLeftIsNeverAddedToByAnother)
{
    // The program stopped in another job's merge, and a new job has taken its name.
    std::string marker = Spool() + "\\JOB1.MRG";
    WriteJob("1", "1", {{1, SpoolPage(2, "b.tif")}});
    ASSERT_TRUE(CopyFileA(SamplePage(3).c_str(), Merged().c_str(), FALSE));
    ASSERT_TRUE(StartMergeMarker(marker, "another job file", 0));
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {2}));
    std::string kept = KeptName(Merged());
    EXPECT_TRUE(HasPages(kept, {3}));
    ASSERT_FALSE(infoBoxes.empty());
    EXPECT_EQ(infoBoxes.front(), "The merged file of an interrupted job was kept as " + kept);
    EXPECT_FALSE(FileExists(marker));
    DeleteFileA(kept.c_str());
    DeleteFileA(SchedulerImage().c_str());

    // One still held by another program cannot be kept aside: this job waits, whole.
    infoBoxes.clear();
    std::string page = SpoolPage(1, "a.tif");
    WriteJob("1", "1", {{1, page}});
    ASSERT_TRUE(CopyFileA(SamplePage(3).c_str(), Merged().c_str(), FALSE));
    ASSERT_TRUE(StartMergeMarker(marker, "another job file", 0));
    {
        HeldOpenFile held(Merged());
        EndDoc();
    }
    EXPECT_EQ(infoBoxes,
              Lines{"The merged file of an interrupted job is in use: " + Merged() +
                    "\r\nThis job was not merged; its pages and job file stay: " + JobIni()});
    EXPECT_TRUE(HasPages(Merged(), {3}));
    EXPECT_TRUE(FileExists(page));
    EXPECT_TRUE(FileExists(JobIni()));
    EXPECT_FALSE(FileExists(SchedulerImage()));
    EXPECT_EQ(console.Messages().back(), "==============FINISHED: PMT_END_DOC");
}

TEST_F(Merge, AJobOfMorePagesThanAFaxHoldsIsRefusedWhole)
{
    std::string page = SpoolPage(1, "a.tif");
    WriteJob("1", "2000000000", {{1, page}});
    EndDoc();
    EXPECT_EQ(infoBoxes, Lines{"The job lists 2000000000 pages; a fax holds at most 65535. "
                               "Nothing was merged: " +
                               JobIni()});
    EXPECT_TRUE(FileExists(page));
    EXPECT_TRUE(FileExists(JobIni()));
    EXPECT_FALSE(FileExists(Merged()));
}

TEST_F(Merge, ANotificationInsideTheExclusiveWaitWaitsForTheJobsEnd)
{
    NoticeReceiver receiver;
    receiver.HandTo(job.get());

    std::string p1 = SpoolPage(1, "a.tif");
    WriteJob("1", "1", {{1, p1}});
    std::string next = Spool() + "\\JOB2.INI";
    WriteFileText(next, "the next job");
    // Queued now, taken by the wait's first message pump.
    HGLOBAL block = MakeNotice(PMT_JOB_FILE, std::wstring(next.begin(), next.end()));
    PostMessageA(receiver.Handle(), WM_PRNPIPE_NOTIFY, reinterpret_cast<WPARAM>(block), 0);

    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {1}));
    EXPECT_FALSE(FileExists(JobIni())) << "the running job kept its own name";
    EXPECT_TRUE(FileExists(next));
    EXPECT_EQ(job->JobIniName, next) << "taken once the job had ended";
}
