#pragma once
// The program's own small records in its per-user folder: each written whole or not at all.
#include <optional>
#include <string>

// %LOCALAPPDATA%\Kelvarin, created when missing; empty when there is no such folder.
std::wstring PerUserRecordFolder();

// Writes text under a name beside path, flushes it and puts it in path's place, so a
// power cut leaves the old record or the new one. False when it could not.
bool WriteRecordFile(const std::wstring& path, const std::string& text);
// The whole file; nullopt when it cannot be read.
std::optional<std::string> ReadRecordFile(const std::wstring& path);
