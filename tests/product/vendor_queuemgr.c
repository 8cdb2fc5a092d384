/* A fax scheduler built the way the fax product's vendor builds its QUEUEMGR.EXE: plain C,
   its own version resource, no code of ours. Unlike our stand-in it COPIES the image and
   leaves FAX.$$$ where it is. Two kinds, chosen at build time:

   copying (default): takes the image at start and ends; exit 0 queued, 1 refused.
   resident (QUEUEMGR_RESIDENT=1): the first start claims the mutex "QuilfaQueueResident",
   creates a hidden top-level window of class "QuilfaQueueResident", takes the image and
   stays; later starts post WM_APP+1 to that window and end with exit 0, and the resident
   one takes the image when it handles the message. A start that finds one still starting
   waits for it up to 10 s (the event "QuilfaQueueReady"), then refuses with exit 1; one
   that finds it gone becomes resident itself. WM_CLOSE ends it with exit 0.

   Taking the image: [Quilfa] PrivateDir of QFSCH.INI in the Windows directory, followed
   directly by "FAX.$$$", is opened at once (read, others may only read), copied to
   queue\Q<nnnn>.TIF beside the program (the lowest free serial), flushed and closed.

   Log: queue\QUEUE.LOG, one CRLF line each, "<yyyy-mm-dd hh:mm:ss.mmm> " and then
       started: <command line>
       queued <full path of the copy> bytes=<n> crc=<CRC-32 of the bytes, 8 lower-case hex>
       passed on
       refused <reason> */
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#ifndef QUEUEMGR_RESIDENT
#define QUEUEMGR_RESIDENT 0
#endif

#define RESIDENT_NAME "QuilfaQueueResident"
#define READY_NAME "QuilfaQueueReady"
#define WM_TAKE_IMAGE (WM_APP + 1)

static char QueueDir[MAX_PATH];
static char LogPath[MAX_PATH];
static unsigned long CrcTable[256];
static unsigned char CopyBuffer[64 * 1024];

static void Record(const char* format, ...)
{
    /* Room for the longest command line Windows passes, and the stamp before it. */
    static char line[32768 + 512];
    SYSTEMTIME now;
    va_list args;
    int stamp;
    int length;
    DWORD done = 0;
    HANDLE log;

    GetLocalTime(&now);
    stamp = snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear,
                     now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                     now.wMilliseconds);
    va_start(args, format);
    length = vsnprintf(line + stamp, sizeof line - stamp - 2, format, args);
    va_end(args);
    if (length < 0)
        length = 0;
    if (length > (int)(sizeof line - stamp - 3))
        length = (int)(sizeof line - stamp - 3);
    length += stamp;
    line[length++] = '\r';
    line[length++] = '\n';

    /* A resident instance and a later start may both append. */
    log = CreateFileA(LogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return;
    while (done < (DWORD)length) {
        DWORD written = 0;
        if (!WriteFile(log, line + done, (DWORD)length - done, &written, NULL) || written == 0)
            break;
        done += written;
    }
    CloseHandle(log);
}

static void MakeCrcTable(void)
{
    unsigned long n;
    int k;
    for (n = 0; n < 256; ++n) {
        unsigned long c = n;
        for (k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
        CrcTable[n] = c;
    }
}

static unsigned long AddCrc(unsigned long crc, const unsigned char* bytes, DWORD count)
{
    DWORD i;
    for (i = 0; i < count; ++i)
        crc = CrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

/* queue\ beside the program, and the log in it. */
static BOOL FindQueue(void)
{
    char* slash;
    DWORD length = GetModuleFileNameA(NULL, QueueDir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return FALSE;
    slash = strrchr(QueueDir, '\\');
    if (!slash || (size_t)(slash + 1 - QueueDir) + sizeof "queue\\QUEUE.LOG" > MAX_PATH)
        return FALSE;
    lstrcpyA(slash + 1, "queue\\");
    if (!CreateDirectoryA(QueueDir, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return FALSE;
    lstrcpyA(LogPath, QueueDir);
    lstrcatA(LogPath, "QUEUE.LOG");
    return TRUE;
}

/* The settings' private directory followed directly by the image's name: a value without
   its closing backslash runs into the name, as it always did. */
static BOOL FindImage(char* image)
{
    char settings[MAX_PATH + 16];
    char directory[MAX_PATH];
    UINT length = GetWindowsDirectoryA(settings, MAX_PATH);
    DWORD got;
    if (length == 0 || length >= MAX_PATH) {
        Record("refused no Windows directory (error %lu)", GetLastError());
        return FALSE;
    }
    if (settings[length - 1] != '\\')
        lstrcatA(settings, "\\");
    lstrcatA(settings, "QFSCH.INI");
    got = GetPrivateProfileStringA("Quilfa", "PrivateDir", "", directory, sizeof directory,
                                   settings);
    if (got == 0) {
        Record("refused no [Quilfa] PrivateDir in %s", settings);
        return FALSE;
    }
    if (got + sizeof "FAX.$$$" > MAX_PATH) {
        Record("refused PrivateDir too long in %s", settings);
        return FALSE;
    }
    lstrcpyA(image, directory);
    lstrcatA(image, "FAX.$$$");
    return TRUE;
}

/* A fresh queue file under the lowest free serial; never one that is there. */
static HANDLE CreateQueueFile(char* path)
{
    unsigned serial;
    for (serial = 1; serial <= 9999; ++serial) {
        HANDLE file;
        snprintf(path, MAX_PATH, "%sQ%04u.TIF", QueueDir, serial);
        file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            Record("refused cannot create %s (error %lu)", path, GetLastError());
            return INVALID_HANDLE_VALUE;
        }
    }
    Record("refused queue %s is full", QueueDir);
    return INVALID_HANDLE_VALUE;
}

/* Copies the whole image into the queue and leaves it where it is. */
static BOOL TakeImage(void)
{
    char image[MAX_PATH];
    char copy[MAX_PATH];
    HANDLE source;
    HANDLE target;
    unsigned long long bytes = 0;
    unsigned long crc = 0xFFFFFFFFUL;
    DWORD error = 0;
    const char* failed = NULL;

    if (!FindImage(image))
        return FALSE;
    source = CreateFileA(image, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (source == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            Record("refused no image %s", image);
        else
            Record("refused cannot open %s (error %lu)", image, error);
        return FALSE;
    }
    target = CreateQueueFile(copy);
    if (target == INVALID_HANDLE_VALUE) {
        CloseHandle(source);
        return FALSE;
    }

    for (;;) {
        DWORD got = 0;
        DWORD done = 0;
        if (!ReadFile(source, CopyBuffer, sizeof CopyBuffer, &got, NULL)) {
            error = GetLastError();
            failed = "read";
            break;
        }
        if (got == 0)
            break;
        crc = AddCrc(crc, CopyBuffer, got);
        while (done < got) {
            DWORD written = 0;
            if (!WriteFile(target, CopyBuffer + done, got - done, &written, NULL)) {
                error = GetLastError();
                failed = "write";
                break;
            }
            if (written == 0) {
                error = ERROR_WRITE_FAULT;
                failed = "write";
                break;
            }
            done += written;
        }
        if (failed)
            break;
        bytes += got;
    }
    if (!failed && !FlushFileBuffers(target)) {
        error = GetLastError();
        failed = "flush";
    }
    if (!CloseHandle(target) && !failed) {
        error = GetLastError();
        failed = "close";
    }
    CloseHandle(source);
    if (failed) {
        DeleteFileA(copy);
        Record("refused cannot %s %s to %s (error %lu)", failed, image, copy, error);
        return FALSE;
    }

    /* Full already: the queue lies beside the program's own full path. */
    Record("queued %s bytes=%llu crc=%08lx", copy, bytes, crc ^ 0xFFFFFFFFUL);
    return TRUE;
}

#if QUEUEMGR_RESIDENT

static HANDLE Ready;

static LRESULT CALLBACK ResidentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TAKE_IMAGE:
        TakeImage();
        return 0;
    case WM_CLOSE:
        /* Later starts wait for the next resident rather than post to this one. */
        ResetEvent(Ready);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static int StayResident(HINSTANCE instance, HANDLE claim)
{
    WNDCLASSA type;
    HWND window;
    MSG message;
    BOOL got;

    /* Not ready until this window is there, whatever one that ended left set. */
    ResetEvent(Ready);
    memset(&type, 0, sizeof type);
    type.lpfnWndProc = ResidentProc;
    type.hInstance = instance;
    type.lpszClassName = RESIDENT_NAME;
    if (!RegisterClassA(&type)) {
        Record("refused cannot register the window class (error %lu)", GetLastError());
        ReleaseMutex(claim);
        return 1;
    }
    window = CreateWindowExA(0, RESIDENT_NAME, "Quilfa fax scheduler", WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL,
                             NULL, instance, NULL);
    if (!window) {
        Record("refused cannot create the window (error %lu)", GetLastError());
        ReleaseMutex(claim);
        return 1;
    }
    SetEvent(Ready);
    TakeImage();

    while ((got = GetMessageA(&message, NULL, 0, 0)) != 0) {
        if (got == -1)
            break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ReleaseMutex(claim);
    return got == -1 ? 1 : (int)message.wParam;
}

/* Passes the request to the resident instance, or becomes it when that one has gone. */
static int Start(HINSTANCE instance)
{
    DWORD deadline = GetTickCount() + 10000;
    HANDLE claim = CreateMutexA(NULL, FALSE, RESIDENT_NAME);
    Ready = CreateEventA(NULL, TRUE, FALSE, READY_NAME);
    if (!claim || !Ready) {
        Record("refused cannot claim residency (error %lu)", GetLastError());
        return 1;
    }
    for (;;) {
        HANDLE both[2];
        DWORD left = deadline - GetTickCount();
        DWORD woke;
        HWND resident;
        both[0] = claim;
        both[1] = Ready;
        if ((LONG)left < 0)
            left = 0;
        /* The claim first: one left by an instance that ended is taken over. */
        woke = WaitForMultipleObjects(2, both, FALSE, left);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED_0)
            return StayResident(instance, claim);
        if (woke != WAIT_OBJECT_0 + 1) {
            Record("refused no resident instance answers");
            return 1;
        }
        resident = FindWindowA(RESIDENT_NAME, NULL);
        if (resident && PostMessageA(resident, WM_TAKE_IMAGE, 0, 0)) {
            Record("passed on");
            return 0;
        }
        /* It is closing, and has said so: the next wait is for its claim. */
    }
}

#else

static int Start(HINSTANCE instance)
{
    (void)instance;
    return TakeImage() ? 0 : 1;
}

#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)previous;
    (void)commandLine;
    (void)show;
    if (!FindQueue())
        return 1;
    MakeCrcTable();
    Record("started: %s", GetCommandLineA());
    return Start(instance);
}
