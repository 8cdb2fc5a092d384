#pragma once
// The main window: hidden unless started with "/D", it takes the printer's
// notifications, runs each print job and shows the job log in its console pane.
// Its names (TtavonForm, Console1, StatusBar1, im, OnlyOne1, Timer1, FormCreate,
// Timer1Timer, readQFSchINI, FileNameBuffer, ...) are the fax product's own, kept as
// the product's people know them.
#include <memory>
#include <string>

#include <windows.h>

#include "app/only_one.h"
#include "base/bound_window.h"
#include "console/console.h"
#include "imaging/image_man.h"
#include "job/print_job.h"

constexpr UINT WM_CLOSEREQUEST = WM_USER + 32;  // 1056: ends the program

class TtavonForm : public BoundWindow<TtavonForm>, public ILogConsole, private IJobSurroundings {
public:
    // Creates the window and its children in order (the single-instance guard runs
    // at the fourth), then runs FormCreate. Raises when the window or the imaging
    // control cannot be created (ImagingControlError says why); errors inside
    // FormCreate are shown and swallowed. The key is the imaging control's runtime
    // licence key, or empty.
    TtavonForm(HINSTANCE instance, std::wstring_view imagingLicenseKey);
    ~TtavonForm() override;
    TtavonForm(const TtavonForm&) = delete;
    TtavonForm& operator=(const TtavonForm&) = delete;

    void readQFSchINI();
    void debug(std::string_view message) { ::debug(*this, message); }

private:
    friend class BoundWindow<TtavonForm>;
    void CreateWindowAndChildren(HINSTANCE instance, std::wstring_view imagingLicenseKey);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandlerFailed(UINT message, const std::exception& error);
    void End();
    void EndOnceJobsRan();

    void FormCreate();
    void Timer1Timer();
    void FormDestroy();
    void CreateConsole1();
    void LayOutChildren();

    // The job log's console pane.
    void Write(std::string_view text) override;
    void RepaintNow() override;

    // What the print job meets: the user's boxes and the settings file.
    void ShowInfoBox(const std::string& text) override;
    void ReportError(const std::exception& error) override;
    void ReloadSettings() override;
    bool ClearGXAPIFileName() override;

    std::unique_ptr<TConsole> Console1;
    HWND StatusBar1 = nullptr;
    std::unique_ptr<TImageMan> im;
    std::unique_ptr<TOnlyOne> OnlyOne1;
    UINT_PTR Timer1 = 0;
    std::unique_ptr<TPrintJob> job_;
    HFONT font_ = nullptr;
    bool endRequested_ = false;
};

// The one main window; set before its creation code runs.
extern TtavonForm* tavonForm;
