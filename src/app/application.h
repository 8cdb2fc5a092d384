#pragma once
// The program as a whole: its title and the hidden top-level window that carries it,
// owns the main window and the program's message boxes.
#include <exception>
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

// The standard error box: the error's message with a full stop, owned by
// ApplicationWindow, with the application title as caption and the error icon.
void ShowErrorBox(const std::exception& error);

// A start-up message: the application title as caption, no icon, one OK button.
void ShowStartupMessage(const std::string& text);
