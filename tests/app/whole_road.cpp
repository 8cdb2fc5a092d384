#include "whole_road.h"

#include "tiff/page.h"

void WholeRoad::SetUp()
{
    ASSERT_EQ(RunProgram("\"" + BinDir() + "\\ZEP.exe\" /RTAVON"), 0);
    DeleteFileA((BinDir() + "\\ZEP.LOG").c_str());
    // A blank in the program folder's name: the program starts the scheduler all the same.
    prog = dir / "Fax PROG";
    privateDir = dir / "private";
    spool = dir / "spool";
    ForgetJobRecords();
    CreateDirectoryA(prog.c_str(), nullptr);
    CreateDirectoryA(privateDir.c_str(), nullptr);
    for (const char* file : {"TAVON.exe", "ORVIKCTR.dll", "QUEUEMGR.exe", "FAXPRINT.exe"})
        ASSERT_TRUE(
            CopyFileA((BinDir() + "\\" + file).c_str(), (prog + "\\" + file).c_str(), FALSE));
    settings.Write("[Quilfa]\r\nProgDir=" + prog + "\\\r\nPrivateDir=" + privateDir +
                   "\\\r\nUser=0001\r\n");
}

std::string WholeRoad::WaitForFax() const
{
    std::string text = "(no fax arrived)";
    WaitUntil(
        [&] {
            std::string log = ReadFileText(prog + "\\outbox\\queue.log");
            if (log.find("queued ") == std::string::npos &&
                log.find("refused ") == std::string::npos)
                return false;
            text = log;
            return true;
        },
        40000);
    return text;
}

int WholeRoad::Print(const std::string& arguments) const
{
    int result = -1;
    WaitUntil([&] {
        result =
            RunProgram("\"" + prog + "\\FAXPRINT.exe\" --spool \"" + spool + "\" " + arguments);
        return result != 4;
    });
    return result;
}

int WholeRoad::SpoolFiles() const
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((spool + "\\*").c_str(), &entry);
    int files = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            files += !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    return files;
}

bool WholeRoad::SpoolEmptied() const
{
    return WaitUntil([&] { return SpoolFiles() == 0; });
}

std::string WholeRoad::QueuedFax(const std::string& log)
{
    std::size_t at = log.find("queued ");
    if (at == std::string::npos)
        return {};
    at += 7;
    return log.substr(at, log.find(" pages=", at) - at);
}

void WholeRoad::Close(RunningProgram& tavon)
{
    PostMessageA(FindWindowA("TtavonForm", "Kelvarin"), 1056, 0, 0);
    EXPECT_EQ(tavon.Wait(), 0);
}

void WholeRoad::PrintSamples(const std::vector<int>& samples) const
{
    std::string pages;
    for (int sample : samples)
        pages += " \"" + SamplePage(sample) + "\"";
    ASSERT_EQ(Print(pages), 0);
}

::testing::AssertionResult WholeRoad::HasSamples(const std::string& file,
                                                 const std::vector<int>& samples)
{
    if (file.empty())
        return ::testing::AssertionFailure() << "no file";
    faxtiff::TiffFile tiff = faxtiff::TiffFile::Open(file);
    if (tiff.PageCount() != samples.size())
        return ::testing::AssertionFailure() << file << " has " << tiff.PageCount() << " pages";
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (!(tiff.ReadPage(i).Bitmap() == faxtiff::LoadPage(SamplePage(samples[i])).Bitmap()))
            return ::testing::AssertionFailure() << file << ": page " << i + 1 << " differs";
    return ::testing::AssertionSuccess();
}

std::size_t WholeRoad::Count(const std::string& text, const std::string& word)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}
