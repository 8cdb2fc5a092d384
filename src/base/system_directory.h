#pragma once
// The Windows system directory by the name a user types for it.
#include <string>

// Where this program's system modules are, named so that any program finds them: a
// 32-bit program on 64-bit Windows reaches SysWOW64 under the name system32, which to a
// 64-bit program (regsvr32 at a prompt, among them) is another directory. Empty when
// unknown.
std::wstring SystemDirectoryOnDisk();
