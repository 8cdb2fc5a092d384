#pragma once
// The program as a whole: its title and the hidden top-level window that carries it,
// owns the main window and the program's message boxes.
#include <string>

#include <windows.h>

// The executable's file name without directory and extension, the characters after
// the first in lower case: "Tavon" for TAVON.EXE.
extern std::string ApplicationTitle;
extern HWND ApplicationWindow;

std::string TitleFromModulePath(const std::string& modulePath);

// Creates ApplicationWindow, visible with zero size at the centre of the screen.
// False when the window cannot be created.
bool CreateApplicationWindow(HINSTANCE instance);
