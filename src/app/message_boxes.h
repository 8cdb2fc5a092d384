#pragma once
// The program's own message boxes (the job's "Information" box is the job's).
#include <exception>
#include <string>

// The standard error box: the error's message with a full stop, owned by
// ApplicationWindow, with the application title as caption and the error icon.
void ShowErrorBox(const std::exception& error);

// A start-up message: the application title as caption, no icon, one OK button.
void ShowStartupMessage(const std::string& text);

// The box of an error that ends the program: task-modal, without owner, naming the
// error's kind, the executable and the code address where start-up failed.
void ShowFatalError(const std::exception& error, const void* where);
