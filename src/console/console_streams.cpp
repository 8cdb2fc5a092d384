// Binding the standard text streams to a console.
#include "console/console_streams.h"

#include <iostream>

#include "console/console.h"

ConsoleDevice::ConsoleDevice(TConsole& console) : console_(console)
{
    setp(buffer_, buffer_ + BufferSize);
}

void ConsoleDevice::Write()
{
    auto position = static_cast<std::uint32_t>(pptr() - pbase());
    if (position == 0)
        return;
    console_.WriteBuffer(pbase(), position);
    setp(buffer_, buffer_ + BufferSize);
}

ConsoleDevice::int_type ConsoleDevice::overflow(int_type c)
{
    Write();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int ConsoleDevice::sync()
{
    Write();
    return 0;
}

ConsoleDevice::int_type ConsoleDevice::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    int end = console_.ReadLine(buffer_, BufferSize);
    if (end > 0 && buffer_[end - 1] == 26)
        --end;  // only coCheckEOF lets Ctrl+Z end a line
    setg(buffer_, buffer_, buffer_ + end);
    if (end == 0)
        return traits_type::eof();
    return traits_type::to_int_type(*gptr());
}

void TStandardTextStream::Attach(TConsole& console)
{
    device_ = std::make_unique<ConsoleDevice>(console);
    state_ = TTextStreamState::Closed;
}

void TStandardTextStream::OpenForInput()
{
    stream_.rdbuf(device_.get());
    state_ = TTextStreamState::Input;
}

void TStandardTextStream::OpenForOutput()
{
    flagsBefore_ = stream_.flags();
    stream_.rdbuf(device_.get());
    stream_.setf(std::ios::unitbuf);
    state_ = TTextStreamState::Output;
}

void TStandardTextStream::Close()
{
    if (state_ == TTextStreamState::Output) {
        device_->Write();  // directly: a failing delivery reaches the caller
        stream_.flags(flagsBefore_);
    }
    stream_.rdbuf(nullptr);
    device_.reset();
    state_ = TTextStreamState::Closed;
}

TStandardTextStream& StandardInput()
{
    static TStandardTextStream input(std::cin);
    return input;
}

TStandardTextStream& StandardOutput()
{
    static TStandardTextStream output(std::cout);
    return output;
}

void TConsole::AttachTextDevice(TStandardTextStream& stream) { stream.Attach(*this); }

namespace {

bool IsOpen(const TStandardTextStream& stream)
{
    return stream.State() != TTextStreamState::Closed &&
           stream.State() != TTextStreamState::NeverSetUp;
}

}  // namespace

void TConsole::SetOptions(TConsoleOptions options)
{
    if ((options & coStdInput) && !(options_ & coStdInput)) {
        if (IsOpen(StandardInput()))
            throw Exception("TConsole.SetOptions: Standard Input is already open");
        AttachTextDevice(StandardInput());
        StandardInput().OpenForInput();
        options_ |= coStdInput;  // recorded even when the output binding below fails
    } else if ((options_ & coStdInput) && !(options & coStdInput)) {
        StandardInput().Close();
    }
    if ((options & coStdOutput) && !(options_ & coStdOutput)) {
        if (IsOpen(StandardOutput()))
            throw Exception("TConsole.SetOptions: Standard Output is already open");
        AttachTextDevice(StandardOutput());
        StandardOutput().OpenForOutput();
    } else if ((options_ & coStdOutput) && !(options & coStdOutput)) {
        StandardOutput().Close();
    }
    options_ = options;
}
