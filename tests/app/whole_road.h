#pragma once
// The product as installed: the program and the scheduler in one program directory, the
// control files in the system directory, the settings file naming them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system_state.h"

class WholeRoad : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { RemoveControlFiles(); }

    // The queue log once it names a fax taken or refused.
    std::string WaitForFax() const;
    // Prints with FAXPRINT.EXE once the program serves the pipe (exit code 4 until then).
    int Print(const std::string& arguments) const;
    int SpoolFiles() const;
    // Waits until the spool is empty: the program clears a job up after the scheduler's
    // start; false when it was not within the time.
    bool SpoolEmptied() const;
    // Prints the sample pages, in this order.
    void PrintSamples(const std::vector<int>& samples) const;
    // Whether the file's pages are those samples, in order (pixels compared).
    static ::testing::AssertionResult HasSamples(const std::string& file,
                                                 const std::vector<int>& samples);
    // How often the word is in the text.
    static std::size_t Count(const std::string& text, const std::string& word);
    // The fax the scheduler queued, as named in its log.
    static std::string QueuedFax(const std::string& log);
    void Close(RunningProgram& tavon);

    TempDir dir;
    SettingsFile settings;
    std::string prog, privateDir, spool;
};
