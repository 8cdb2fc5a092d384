#pragma once
// The single-instance guard: a global atom named after the application title marks a
// running copy. A later copy brings the first one's window forward and asks to end;
// when no such window exists, the atom is a killed copy's and the start goes on.
#include <string>

class TOnlyOne {
public:
    TOnlyOne() { CheckSingleInstance(); }
    // Releases this copy's reference to the atom.
    ~TOnlyOne();
    TOnlyOne(const TOnlyOne&) = delete;
    TOnlyOne& operator=(const TOnlyOne&) = delete;

private:
    void CheckSingleInstance();

    std::string InstanceAtomName;  // "OnlyOne" and the title's first 20 characters
};
