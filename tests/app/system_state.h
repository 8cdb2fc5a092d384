#pragma once
// What the program finds outside itself: the control files in the system directory, its
// per-user records (and the settings file, see test_support.h). Each test sets them as
// it needs.
#include <string>
#include <vector>

#include <windows.h>

#include "test_support.h"

void RemoveControlFiles();

// The program's per-user records: the jobs it has not finished, and the scheduler's start.
std::string RecordFolder();
std::vector<std::string> RecordedJobs();
// None left from an earlier test: a program would finish them first.
void ForgetJobRecords();
