// The printer-pipe library's service against real pipe clients on test threads.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "notice_window.h"
#include "pipe_test_client.h"
#include "prn_pipe_service.h"
#include "product/prn_pipe.h"
#include "test_support.h"

namespace {

// The library's own silence limit.
constexpr DWORD kIdleTimeoutMs = 5000;

class PrnPipe : public ::testing::Test {
protected:
    void SetUp() override { Serve(kIdleTimeoutMs, PostMessageA); }
    void TearDown() override
    {
        service.reset();
        PumpMessages();
        EXPECT_EQ(window.Malformed(), 0u);
    }

    void Serve(DWORD idleTimeoutMs, PostFunction post)
    {
        service.reset();
        service = std::make_unique<PrnPipeService>(idleTimeoutMs, post);
        ASSERT_TRUE(service->Start(window.Handle(), kNoticeMessage));
    }

    NoticeWindow window;
    std::unique_ptr<PrnPipeService> service;
};

DWORD WINAPI StopServing(void* service) { return static_cast<PrnPipeService*>(service)->Stop(); }

}  // namespace

TEST_F(PrnPipe, StopIsPromptWhateverClientsDo)
{
    PipeClient silent;
    PipeClient halfway;
    ASSERT_TRUE(silent.Connected());
    ASSERT_TRUE(halfway.Connected());
    ASSERT_EQ(halfway.Write(Record(1, L"C:\\spool\\page.tif").substr(0, 13)), ERROR_SUCCESS);

    std::atomic<bool> quit{false};
    std::thread flood([&quit] {
        PipeClient client;
        std::string batch;
        for (int i = 0; i < 256; ++i)
            batch += Record(1, L"C:\\spool\\flood.tif");
        while (!quit && client.Write(batch) == ERROR_SUCCESS) {
        }
    });
    bool flooding = window.PumpUntil(2000);

    ULONGLONG started = GetTickCount64();
    HANDLE stopping = CreateThread(nullptr, 0, StopServing, service.get(), 0, nullptr);
    DWORD waited = stopping ? WaitForSingleObject(stopping, 5000) : WAIT_FAILED;
    ULONGLONG took = GetTickCount64() - started;
    quit = true;
    flood.join();
    if (stopping) {
        WaitForSingleObject(stopping, INFINITE);
        CloseHandle(stopping);
    }
    EXPECT_TRUE(flooding);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the stop waits on a client";
    EXPECT_LT(took, 1000u);
}

TEST_F(PrnPipe, SilentClientLocksNoOneOut)
{
    PipeClient silent;
    ASSERT_TRUE(silent.Connected());
    {
        PipeClient printer(2000);
        ASSERT_TRUE(printer.Connected()) << "the silent client holds the pipe";
        ASSERT_EQ(printer.Write(Record(0, L"C:\\spool\\JOB1.INI") +
                                Record(1, L"C:\\spool\\JOB1-1.TIF") + Record(2, L"")),
                  ERROR_SUCCESS);
    }
    ASSERT_TRUE(window.PumpUntil(3));
    // Still connected after all that: it is heard when it speaks at last.
    ASSERT_EQ(silent.Write(Record(0, L"late")), ERROR_SUCCESS);
    ASSERT_TRUE(window.PumpUntil(4));
    EXPECT_EQ(
        window.Notices(),
        (std::vector<Notice>{
            {0, L"C:\\spool\\JOB1.INI"}, {1, L"C:\\spool\\JOB1-1.TIF"}, {2, L""}, {0, L"late"}}));
}

TEST_F(PrnPipe, SilentAndDribblingClientsAreDroppedInTime)
{
    for (bool dribbling : {false, true}) {
        // A new server each time: its instances take clients as soon as it has started,
        // while those freed by the last round may not listen again yet.
        Serve(200, PostMessageA);
        std::vector<std::unique_ptr<PipeClient>> held;
        while (held.size() < 64) {
            auto client = std::make_unique<PipeClient>(0);
            if (!client->Connected())
                break;
            held.push_back(std::move(client));
        }
        ASSERT_GE(held.size(), 2u) << "clients are served one at a time";
        ASSERT_LT(held.size(), 64u);
        // A byte of one long record now and then, well within the silence limit: the
        // record must still be whole within the limit from its first byte.
        std::atomic<bool> quit{false};
        std::thread dribble([&] {
            std::string record = Record(1, std::wstring(1000, L'x'));
            for (std::size_t at = 0; dribbling && !quit && at < record.size(); ++at) {
                for (auto& client : held)
                    client->Write(record.substr(at, 1), 50);
                Sleep(100);  // the clients' pace, not a wait for an outcome
            }
        });

        // Every instance is taken: only a client dropped in time frees one, and the
        // normal limit (5 s) would be too late for this wait.
        PipeClient next(2500);
        quit = true;
        dribble.join();
        ASSERT_TRUE(next.Connected()) << (dribbling ? "dribbling" : "silent");
        ASSERT_EQ(next.Write(Record(2, L"")), ERROR_SUCCESS);
        ASSERT_TRUE(window.PumpUntil(window.Notices().size() + 1));
        EXPECT_EQ(window.Notices().back(), (Notice{2, L""}));
    }
}

TEST_F(PrnPipe, FloodBeyondTheQueueLimitLosesNothing)
{
    Serve(kIdleTimeoutMs, PostWithQueueLimit);
    constexpr std::uint32_t kRecords = 12000;
    DWORD written = ERROR_GEN_FAILURE;
    std::thread printer([&written] {
        std::string bytes;
        for (std::uint32_t i = 0; i < kRecords; ++i)
            bytes += Record(i, L"n" + std::to_wstring(i));
        PipeClient client;
        written = client.Write(bytes, 60000);
    });
    // The window handles nothing until its full queue turned a notice away twice.
    bool refused = WaitForRepeatedRefusal(30000);
    bool all = window.PumpUntil(kRecords);
    printer.join();
    ASSERT_TRUE(refused);
    EXPECT_EQ(written, ERROR_SUCCESS);
    ASSERT_TRUE(all) << window.Notices().size() << " of " << kRecords << " arrived";
    for (std::uint32_t i = 0; i < kRecords; ++i) {
        Notice expected{i, L"n" + std::to_wstring(i)};
        if (window.Notices()[i] != expected) {
            ADD_FAILURE() << "notice " << i << " is " << window.Notices()[i];
            break;
        }
    }
}

TEST_F(PrnPipe, BadLengthDropsOnlyThatConnection)
{
    PipeClient other;
    ASSERT_EQ(other.Write(Record(0, L"before")), ERROR_SUCCESS);
    ASSERT_TRUE(window.PumpUntil(1));
    {
        // More than the pipe and one read hold: the write ends only when the
        // connection is dropped, after anything read with the bad header was handled.
        PipeClient bad;
        std::string bytes = Header(0, kMaxPathUnits + 1) + Record(1, L"behind a bad length") +
                            std::string(256 * 1024, '\xFF');
        DWORD result = bad.Write(bytes);
        EXPECT_NE(result, ERROR_SUCCESS);
        EXPECT_NE(result, ERROR_TIMEOUT) << "the connection was not dropped";
    }
    ASSERT_EQ(other.Write(Record(0, L"after")), ERROR_SUCCESS);
    ASSERT_TRUE(window.PumpUntil(2));
    EXPECT_EQ(window.Notices(), (std::vector<Notice>{{0, L"before"}, {0, L"after"}}));
}

TEST_F(PrnPipe, RecordsSplitAcrossWritesArriveWhole)
{
    std::wstring longest(kMaxPathUnits, L'\0');
    for (std::size_t i = 0; i < longest.size(); ++i)
        longest[i] = static_cast<wchar_t>(1 + i % 0xD7FF);
    std::string bytes = Record(7, L"abc") + Record(1, longest) + Record(2, L"") + Record(3, L"z");
    PipeClient client;
    // Byte by byte through the first headers and units, then pieces that cut the
    // longest record at odd places.
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t piece = at < 40 ? 1 : 4099;
        ASSERT_EQ(client.Write(bytes.substr(at, piece)), ERROR_SUCCESS) << at;
        at += piece;
    }
    ASSERT_TRUE(window.PumpUntil(4));
    EXPECT_EQ(window.Notices(),
              (std::vector<Notice>{{7, L"abc"}, {1, longest}, {2, L""}, {3, L"z"}}));
}

TEST_F(PrnPipe, NoOtherServerCanJoinThePipe)
{
    for (DWORD first : {DWORD{FILE_FLAG_FIRST_PIPE_INSTANCE}, DWORD{0}}) {
        for (DWORD instances : {1, 2, 8, 64, PIPE_UNLIMITED_INSTANCES}) {
            HANDLE pipe = CreateNamedPipeW(kPrnPipeName, PIPE_ACCESS_INBOUND | first,
                                           PIPE_TYPE_BYTE, instances, 0, 4096, 0, nullptr);
            EXPECT_EQ(pipe, INVALID_HANDLE_VALUE) << first << " " << instances;
            if (pipe != INVALID_HANDLE_VALUE)
                CloseHandle(pipe);
        }
    }
}
