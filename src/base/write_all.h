#pragma once
#include <windows.h>

// Writes every byte, over short writes; false when a write fails or writes nothing.
bool WriteAll(HANDLE file, const void* data, DWORD size);
