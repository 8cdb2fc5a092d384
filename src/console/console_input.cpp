// The input side: typed characters, the break keys, key and line reads.
#include "console/console.h"

#include <cstring>

#include "base/message_pump.h"

bool ReadActive = false;

void TConsole::KeyDown(WORD key)
{
    if (key == 0)
        return;
    if ((options_ & coCheckBreak) && key == VK_CANCEL)
        DoBreak();
    ScrollByKey(key);
}

void TConsole::KeyPress(char c)
{
    if (c == 0)
        return;
    if ((options_ & coCheckBreak) && c == 3)
        DoBreak();
    // Ctrl+C is queued like any other character; a full buffer drops what comes.
    if (keyCount_ < KeyBufferSize)
        keyBuffer_[keyCount_++] = c;
}

bool TConsole::KeyPressed()
{
    if (keyCount_ > 0)
        return true;
    while (DispatchOneMessage(QuitRequest::Leave) == PumpStep::Dispatched) {
    }
    return keyCount_ > 0;
}

char TConsole::ReadKey()
{
    TrackCursor();
    if (!KeyPressed()) {
        if (handle_)
            SetFocus(handle_);
        if (reading_ || ReadActive)
            throw EInvalidOperation("Read already active");
        reading_ = true;
        ReadActive = true;
        try {
            if (focused_)
                ShowCursor();
            WaitForKey();
        } catch (...) {
            EndRead();
            throw;
        }
        EndRead();
    }
    char c = keyBuffer_[0];
    std::memmove(keyBuffer_, keyBuffer_ + 1, static_cast<std::size_t>(keyCount_ - 1));
    --keyCount_;
    return c;
}

void TConsole::WaitForKey()
{
    do {
        PumpStep step = DispatchOneMessage(QuitRequest::Leave);  // the program's loop ends too
        if (step == PumpStep::Quit)
            throw Exception("WM_Quit received during ReadKey");
        if (step == PumpStep::Empty)
            WaitMessage();
    } while (keyCount_ == 0);
}

void TConsole::EndRead()
{
    if (focused_ && !(options_ & coFulltimeCursor))
        HideCursor();
    reading_ = false;
    ReadActive = false;
}

int TConsole::ReadLine(char* buffer, int capacity)
{
    if (capacity < 2)
        throw Exception("TConsole.ReadLine: the buffer must hold at least 2 characters");
    int stored = 0;
    unsigned char c;
    for (;;) {
        c = static_cast<unsigned char>(ReadKey());
        if (c == 8) {
            if (stored > 0) {
                --stored;
                WriteChar(8);  // blanks the echoed character
            }
        } else if (c >= 32) {
            if (stored < capacity - 2) {
                buffer[stored++] = char(c);
                WriteChar(char(c));
            }
        }
        if (c == 0 || c == 13 || ((options_ & coCheckEOF) && c == 26))
            break;
    }
    buffer[stored++] = char(c);
    if (c == 13) {
        buffer[stored++] = 10;
        WriteCodedBuffer("\r\n", 2);  // not through the output hook
    }
    TrackCursor();
    if (focused_ && (options_ & coFulltimeCursor))
        ShowCursor();
    return stored;
}
