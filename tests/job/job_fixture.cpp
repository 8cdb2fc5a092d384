#include "job_fixture.h"

#include <ole2.h>

#include <algorithm>
#include <cstring>

#include "settings/fax_settings.h"

HGLOBAL MakeNotice(std::uint32_t code, const std::wstring& path, SIZE_T size, bool terminate)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* data = static_cast<unsigned char*>(GlobalLock(block));
    std::memcpy(data, &code, std::min<SIZE_T>(sizeof code, size));
    SIZE_T room = size > kNoticePathOffset ? (size - kNoticePathOffset) / 2 : 0;
    SIZE_T units = std::min<SIZE_T>(path.size(), terminate && room ? room - 1 : room);
    if (units)
        std::memcpy(data + kNoticePathOffset, path.data(), units * 2);
    GlobalUnlock(block);
    return block;
}

HGLOBAL MakeNotice(std::uint32_t code, const std::wstring& path)
{
    return MakeNotice(code, path, kNoticePathOffset + (path.size() + 1) * sizeof(wchar_t), true);
}

void RegisterImagingControl()
{
    OleInitialize(nullptr);
    ASSERT_EQ(CallServer(BinDir() + "\\IMOCX32.OCX", "DllRegisterServer"), S_OK);
}

void JobFixture::SetUpTestSuite() { RegisterImagingControl(); }

void JobFixture::TearDownTestSuite() {}

void JobFixture::SetUp()
{
    SetTestWindowsDirectory(dir.Path());
    DebugMode = true;
    CreateDirectoryA(Spool().c_str(), nullptr);
    CreateDirectoryA(Private().c_str(), nullptr);
    CreateDirectoryA((dir.Path() + "\\FAX").c_str(), nullptr);
    CreateDirectoryA(Prog().c_str(), nullptr);
    WriteSettings();
    DriveControl(std::make_unique<TImageMan>(nullptr, RECT{}, L""));
}

void JobFixture::DriveControl(std::unique_ptr<TImageMan> control)
{
    job.reset();
    im = std::move(control);
    if (!im)
        return;
    job = std::make_unique<TPrintJob>(console, *im, surroundings, RecordFolder(), kTestWaits);
    job->JobIniName = JobIni();
    job->OutputImageName = Spool() + "\\JOB1_P1.TIF";
    job->SchedulerCmdLine = Prog() + "QUEUEMGR.EXE";
}

void JobFixture::TearDown()
{
    DriveControl(nullptr);
    SetTestWindowsDirectory("");
    DebugMode = false;
}

void JobFixture::WriteJob(const std::string& firstPage, const std::string& totalPages,
                          const std::map<int, std::string>& pages)
{
    std::string text = "[Orvik Printer]\r\nFirst Page Section=Print Page " + firstPage +
                       "\r\nTotal Page Number=" + totalPages + "\r\nFirst Page=" + firstPage +
                       "\r\n";
    for (const auto& [number, image] : pages)
        text += "[Print Page " + std::to_string(number) + "]\r\nImage File Name=" + image + "\r\n";
    WriteFileText(JobIni(), text);
}

std::string JobFixture::SpoolPage(int sample, const std::string& name)
{
    std::string target = Spool() + "\\" + name;
    EXPECT_TRUE(CopyFileA(SamplePage(sample).c_str(), target.c_str(), FALSE)) << target;
    return target;
}

void JobFixture::WriteSettings(const std::string& extra)
{
    WriteFileText(dir / "QFSCH.INI",
                  "[Quilfa]\r\nProgDir=" + Prog() + "\r\nPrivateDir=" + Private() + "\r\n" + extra);
}

std::string JobFixture::KeptName(const std::string& original)
{
    std::size_t dot = original.rfind('.');
    std::string directory = original.substr(0, original.rfind('\\') + 1);
    std::string pattern = original.substr(0, dot) + "-kept-*" + original.substr(dot);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::string name = directory + found.cFileName;
    bool more = FindNextFileA(search, &found);
    FindClose(search);
    return more ? std::string() : name;
}

void JobFixture::EndDoc()
{
    job->WMPrnPipeNotify(reinterpret_cast<WPARAM>(MakeNotice(PMT_END_DOC, L"")));
}
