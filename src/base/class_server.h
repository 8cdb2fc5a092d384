#pragma once
// Which file an in-process COM class is registered to, and whether that is a given file.
#include <string>
#include <string_view>

// The file named by HKCR\CLSID\<class>\InprocServer32 in this program's view of the
// registry, environment strings expanded; empty when the class has none.
std::wstring InprocServerFile(std::string_view classText);

// Whether two names name one file: the same text but for case, or one file opened under
// both (a 32-bit program reaches its system directory under two names).
bool SameFile(const std::wstring& first, const std::wstring& second);
