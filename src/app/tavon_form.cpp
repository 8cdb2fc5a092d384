#include "app/tavon_form.h"

#include <commctrl.h>

#include <algorithm>

#include "app/application.h"
#include "app/command_line.h"
#include "app/message_boxes.h"
#include "base/exception.h"
#include "base/module_path.h"
#include "base/program_start.h"
#include "job/info_box.h"
#include "job/record_file.h"
#include "product/prn_pipe.h"
#include "product/settings_file.h"
#include "settings/bounded_text.h"
#include "settings/fax_settings.h"

TtavonForm* tavonForm = nullptr;

namespace {

constexpr const char* kClassName = "TtavonForm";
constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT kTimer1Interval = 100;
constexpr UINT WM_FINISHUNFINISHED = WM_APP + 1;
constexpr int kStatusBarHeight = 19;
// The imaging control shows nothing: it lives outside the client area.
constexpr RECT kParkedPlace = {-300, -100, -300 + 225, -100 + 50};

void RegisterFormClass(HINSTANCE instance, WNDPROC windowProc)
{
    WNDCLASSA windowClass{};
    if (GetClassInfoA(instance, kClassName, &windowClass))
        return;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "MAINICON");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass))
        throw Exception("Cannot register the main window class");
}

}  // namespace

TtavonForm::TtavonForm(HINSTANCE instance, std::wstring_view imagingLicenseKey)
{
    tavonForm = this;
    try {
        CreateWindowAndChildren(instance, imagingLicenseKey);
    } catch (...) {
        // The window goes with its object: no message may reach a form that never
        // finished being built. The control goes first, as at the end.
        job_.reset();
        im.reset();
        if (handle_)
            DestroyWindow(handle_);
        if (font_)
            DeleteObject(font_);
        tavonForm = nullptr;
        throw;
    }
    try {
        FormCreate();
    } catch (const std::exception& error) {
        ShowErrorBox(error);
    }
}

TtavonForm::~TtavonForm()
{
    FormDestroy();
    if (Timer1)
        KillTimer(handle_, kTimer1Id);
    // The control is closed while the window it may have made inside this one exists.
    job_.reset();
    im.reset();
    if (handle_)
        DestroyWindow(handle_);
    if (font_)
        DeleteObject(font_);
    if (tavonForm == this)
        tavonForm = nullptr;
}

void TtavonForm::CreateWindowAndChildren(HINSTANCE instance, std::wstring_view imagingLicenseKey)
{
    RegisterFormClass(instance, WindowProc);
    // Laid out at 560 x 187; FormCreate gives it its real size before it ever shows.
    // The window is bound to this object from its first message on (WM_NCCREATE).
    if (!CreateWindowExA(0, kClassName, "Kelvarin", WS_OVERLAPPEDWINDOW, 42, 364, 560, 187,
                         ApplicationWindow, nullptr, instance, this))
        throw Exception("Cannot create the main window");

    font_ = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");

    // Children in their fixed order: the guard runs once the imaging control exists.
    CreateConsole1();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    StatusBar1 = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                                 141, 552, kStatusBarHeight, handle_, nullptr, instance, nullptr);
    if (StatusBar1 && font_)
        SendMessageA(StatusBar1, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    im = std::make_unique<TImageMan>(handle_, kParkedPlace, imagingLicenseKey);
    OnlyOne1 = std::make_unique<TOnlyOne>();
    job_ = std::make_unique<TPrintJob>(*this, *im, static_cast<IJobSurroundings&>(*this),
                                       PerUserRecordFolder());
}

void TtavonForm::readQFSchINI() { ::readQFSchINI(); }

void TtavonForm::ShowInfoBox(const std::string& text) { ::ShowInfoBox(text); }

void TtavonForm::ReportError(const std::exception& error) { ShowErrorBox(error); }

void TtavonForm::ReloadSettings() { readQFSchINI(); }

bool TtavonForm::ClearGXAPIFileName() { return ::ClearGXAPIFileName(); }

void TtavonForm::FormCreate()
{
    DebugMode = false;

    std::string progDir = CutTo(ModuleDirectory(), kMaxDirLength);
    if (!EndsWithBackslash(progDir))
        AppendBounded(progDir, "\\", kMaxDirLength);
    FaxSettings.ProgDir = progDir;

    tavonForm->readQFSchINI();

    // The imaging control was made in its parked place, outside the client area.
    SetWindowPos(tavonForm->handle_, nullptr, 0, 0, 600, 300,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    // Kept whole: the scheduler is never started by a path cut short.
    job_->SchedulerCmdLine = QuotedProgram(FaxSettings.ProgDir + Scheduler::Program);

    WaitForPrnPipe(handle_, WM_PRNPIPE_NOTIFY);
    // The jobs a stopped run left unfinished go before any that ends from now on.
    PostMessageA(handle_, WM_FINISHUNFINISHED, 0, 0);

    Timer1 = SetTimer(handle_, kTimer1Id, kTimer1Interval, nullptr);
    if (!Timer1)
        throw Exception("Not enough timers available");
}

void TtavonForm::Timer1Timer()
{
    KillTimer(handle_, kTimer1Id);
    Timer1 = 0;
    DebugMode = AsciiUpper(FirstArgument()).find("/D") != std::string::npos;
    if (DebugMode)
        ShowWindow(tavonForm->handle_, SW_SHOW);
}

void TtavonForm::FormDestroy() { EndWaitPrnPipe(); }

void TtavonForm::CreateConsole1()
{
    Console1 = std::make_unique<TConsole>();
    Console1->SetOptions(coAutoTracking | coCheckBreak | coFixedPitchOnly);
    Console1->SetRows(50);
    Console1->SetLineBreak(TConsoleLineBreak::CRLF);
    Console1->Font().SetColor(clWindowText);
    Console1->Font().SetHeight(-11);
    Console1->Font().SetName("Courier");
    Console1->Loaded();
    Console1->SetBounds(0, 0, 552, 141);
    Console1->CreateHandle(handle_);
}

void TtavonForm::LayOutChildren()
{
    RECT client;
    GetClientRect(handle_, &client);
    int statusHeight = 0;
    if (StatusBar1) {
        SendMessageA(StatusBar1, WM_SIZE, 0, 0);
        RECT status;
        GetWindowRect(StatusBar1, &status);
        statusHeight = status.bottom - status.top;
    }
    if (Console1)
        Console1->SetBounds(0, 0, client.right, std::max(0L, client.bottom - statusHeight));
}

void TtavonForm::Write(std::string_view text) { Console1->Write(text); }
void TtavonForm::RepaintNow() { Console1->RepaintNow(); }

// A quit request would close the job's message boxes unseen: a running job ends first,
// and the jobs waiting after it stay recorded for the next start.
void TtavonForm::End()
{
    endRequested_ = true;
    if (job_ && job_->Running()) {
        debug("the program ends once this job has");
        job_->StopAfterThisJob();
    }
    EndOnceJobsRan();
}

void TtavonForm::EndOnceJobsRan()
{
    if (endRequested_ && !(job_ && job_->Running()))
        PostQuitMessage(0);
}

void TtavonForm::HandlerFailed(UINT, const std::exception& error) { ShowErrorBox(error); }

LRESULT TtavonForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PRNPIPE_NOTIFY:
        job_->WMPrnPipeNotify(wParam);
        EndOnceJobsRan();
        return 0;
    case WM_FINISHUNFINISHED:
        job_->FinishUnfinishedJobs();
        EndOnceJobsRan();
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1Id)
            Timer1Timer();
        return 0;
    case WM_QUERYOPEN:
        return DebugMode ? 1 : 0;
    case WM_CLOSEREQUEST:
    case WM_CLOSE:
        End();
        return 0;
    case WM_SIZE:
        LayOutChildren();
        return 0;
    case WM_SETFOCUS:
        // Keys go to the log pane, where they scroll, not to the bare frame.
        if (Console1 && Console1->Handle())
            SetFocus(Console1->Handle());
        return 0;
    default:
        return DefWindowProcA(handle_, message, wParam, lParam);
    }
}
