#pragma once
// The process's standard text streams, std::cin and std::cout, bound to a console
// (options coStdInput and coStdOutput). C stdio (printf, stdout) is not redirected.
#include <cstdint>
#include <ios>
#include <memory>
#include <streambuf>

class TConsole;

enum class TTextStreamState : std::uint8_t { NeverSetUp, Closed, Input, Output, InputOutput };

// The device behind a bound stream, with a buffer of 128 characters. Output reaches
// the console when the buffer is full, at the end of every output statement and on
// close; input is read one edited line (ReadLine) at a time. A line ended by Ctrl+Z
// gives its text without the Ctrl+Z, and on its own reads as the end of the stream.
class ConsoleDevice : public std::streambuf {
public:
    static constexpr int BufferSize = 128;

    explicit ConsoleDevice(TConsole& console);
    // Hands the buffered output to the console (through its output hook when set).
    void Write();

protected:
    int_type overflow(int_type c) override;
    int sync() override;
    int_type underflow() override;

private:
    TConsole& console_;
    char buffer_[BufferSize];
};

// One standard stream as the consoles see it: which state it is in and the console
// device it uses while bound. A stream unbound again stays closed: it is not connected
// back to the operating system's standard handle.
class TStandardTextStream {
public:
    explicit TStandardTextStream(std::ios& stream) : stream_(stream) {}
    TStandardTextStream(const TStandardTextStream&) = delete;
    TStandardTextStream& operator=(const TStandardTextStream&) = delete;

    TTextStreamState State() const { return state_; }
    // Closed, with a fresh device on the console; not yet used by the stream.
    void Attach(TConsole& console);
    void OpenForInput();
    // Every output statement is delivered before it returns.
    void OpenForOutput();
    // Delivers text still buffered, then closes.
    void Close();

private:
    std::ios& stream_;
    TTextStreamState state_ = TTextStreamState::NeverSetUp;
    std::unique_ptr<ConsoleDevice> device_;
    std::ios::fmtflags flagsBefore_{};
};

TStandardTextStream& StandardInput();   // std::cin
TStandardTextStream& StandardOutput();  // std::cout
