#include "app/message_boxes.h"

#include <cstdio>

#include <windows.h>

#include "app/application.h"
#include "base/exception.h"
#include "base/message_text.h"
#include "base/module_path.h"

void ShowErrorBox(const std::exception& error)
{
    MessageBoxA(ApplicationWindow, WithFullStop(error.what()).c_str(), ApplicationTitle.c_str(),
                MB_OK | MB_ICONERROR);
}

void ShowStartupMessage(const std::string& text)
{
    MessageBoxA(ApplicationWindow, text.c_str(), ApplicationTitle.c_str(), MB_OK);
}

void ShowFatalError(const std::exception& error, const void* where)
{
    std::string path = ModulePath();
    std::string module = path.substr(path.find_last_of('\\') + 1).substr(0, 63);
    char text[1024];
    std::snprintf(text, sizeof text, "Exception %s in module %s at %p.\n%s", KindOf(error),
                  module.c_str(), where, WithFullStop(error.what()).c_str());
    MessageBoxA(nullptr, text, "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
