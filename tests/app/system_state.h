#pragma once
// What the program finds outside itself: the control files in the system directory
// (and the settings file, see test_support.h). Each test sets them as it needs.
#include <string>

#include <windows.h>

#include "test_support.h"

void RemoveControlFiles();
