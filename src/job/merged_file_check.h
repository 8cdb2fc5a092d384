#pragma once
// The program reads the merged file itself after each save: the imaging control may
// report a save it did not do, write its page over the file, or rebuild the file and lose
// pages. A page is known by a fingerprint of its directory's facts and its coded data,
// which a control that rebuilds the file copies as they are.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using PageFingerprint = std::uint64_t;

// The fingerprints of every page, in order; nullopt when the file cannot be read whole.
// No file is a file of no pages.
std::optional<std::vector<PageFingerprint>> ReadPageFingerprints(const std::string& file);

struct SaveCheck {
    enum Outcome {
        // One page more, whole (decoded), and the last page before it unchanged.
        Added,
        // The file as it was.
        NotAdded,
        // Pages lost or changed, a broken last page, or no file that can be read.
        Damaged,
    };
    Outcome outcome;
    PageFingerprint added = 0;
};

// What one save did to a file that held the pages `before` fingerprints.
SaveCheck CheckSave(const std::string& file, const std::vector<PageFingerprint>& before);

// Puts the file's data on the disk, whoever wrote it; false when it cannot.
bool FlushNamedFile(const std::string& file);
