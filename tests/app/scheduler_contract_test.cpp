#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "whole_road.h"

namespace {

// The whole road with each scheduler the product may have: ours takes its image away;
// the vendor's (tests/product) copies it into its queue and leaves it; the resident one
// stays after its first start, and later starts pass the request on to it and end.
class SchedulerContract : public WholeRoad {
protected:
    void TearDown() override
    {
        EndResident();
        WholeRoad::TearDown();
    }

    void Install(const std::string& kind)
    {
        for (const char* log : {"\\outbox\\queue.log", "\\queue\\QUEUE.LOG"})
            DeleteFileA((prog + log).c_str());
        DeleteFileA((privateDir + "\\FAX.$$$").c_str());
        vendor = kind != "ours";
        if (vendor) {
            ASSERT_TRUE(CopyFileA((BinDir() + "\\..\\vendor\\" + kind + "\\QUEUEMGR.EXE").c_str(),
                                  (prog + "\\QUEUEMGR.exe").c_str(), FALSE));
        }
    }
    std::string Log() const
    {
        return ReadFileText(prog + (vendor ? "\\queue\\QUEUE.LOG" : "\\outbox\\queue.log"));
    }
    // The bytes of every fax the scheduler queued, in order.
    std::vector<std::string> QueuedFaxes() const
    {
        std::vector<std::string> faxes;
        std::string log = Log();
        for (std::size_t at = log.find("queued "); at != std::string::npos;
             at = log.find("queued ", at + 1)) {
            // The name runs up to the first figure after it; it may hold blanks.
            std::size_t start = at + 7;
            std::size_t end = std::min(log.find(" pages=", start), log.find(" bytes=", start));
            faxes.push_back(ReadFileText(log.substr(start, end - start)));
        }
        return faxes;
    }
    // Prints the jobs one after another, then waits until the scheduler queued as many
    // faxes in all and the spool is empty. A box would hold its job up: none may show.
    void PrintJobs(const std::vector<std::vector<int>>& jobs, std::size_t faxesInAll)
    {
        RunningProgram tavon("\"" + prog + "\\TAVON.exe\"");
        for (const std::vector<int>& samples : jobs)
            PrintSamples(samples);
        EXPECT_TRUE(WaitUntil(
            [&] { return QueuedFaxes().size() >= faxesInAll && SpoolFiles() == 0; }, 60000))
            << Log();
        EXPECT_EQ(FindWindowA("#32770", "Information"), nullptr) << "no box";
        Close(tavon);
    }
    void EndResident() const
    {
        if (HWND resident = FindWindowA("QuilfaQueueResident", nullptr))
            PostMessageA(resident, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return !ProgramRunning(prog + "\\QUEUEMGR.exe"); }));
    }

    bool vendor = false;
};

}  // namespace

// Two 2-page jobs, and with the scheduler that leaves its image a third after the program
// started again: each fax is queued once, the scheduler is started once a job, and
// nothing is said.
TEST_F(SchedulerContract, EachFaxIsQueuedOnceWhateverTheSchedulerDoesWithItsImage)
{
    for (const std::string kind : {"ours", "copying", "resident"}) {
        SCOPED_TRACE(kind);
        Install(kind);
        PrintJobs({{1, 2}, {2, 3}}, 2);
        std::size_t jobs = 2;
        if (kind == "copying")
            PrintJobs({{3, 1}}, ++jobs);

        std::vector<std::string> faxes = QueuedFaxes();
        EXPECT_EQ(faxes.size(), jobs) << Log();
        EXPECT_EQ(std::set<std::string>(faxes.begin(), faxes.end()).size(), faxes.size())
            << "a fax queued twice:\n"
            << Log();
        EXPECT_EQ(Count(Log(), "started: \"" + prog + "\\QUEUEMGR.EXE\""), jobs) << Log();
        WIN32_FIND_DATAA kept;
        EXPECT_EQ(FindFirstFileA((privateDir + "\\*-kept-*").c_str(), &kept), INVALID_HANDLE_VALUE)
            << "no image kept aside";
        EndResident();
    }
}
