#include "LineOptions.h"

#include "LineWords.h"

#include <string>

namespace {

// "--flow takes none|rtscts|dsrdtr|xonxoff, not 'hardware'"
template <size_t N>
void AddChoice(C_OptionTable& table, const wchar_t* name, const wchar_t* help, const LineWord (&words)[N],
               BYTE& target) {
    const std::wstring accepted = LineWordList(words);
    table.Add({name, accepted, help, [&words, &target, name, accepted](const std::wstring& value, std::wstring& error) {
                   if (FindLineWord(words, value, target))
                       return true;
                   error = std::wstring(name) + L" takes " + accepted + L", not '" + value + L"'";
                   return false;
               }});
}

// --dtr and --rts: one bit of the lines raised at opening.
void AddLineSwitch(C_OptionTable& table, const wchar_t* name, const wchar_t* help, uint8_t bit, uint8_t& lines) {
    const std::wstring accepted = LineWordList(kSwitchWords);
    table.Add({name, accepted, help, [&lines, bit, name, accepted](const std::wstring& value, std::wstring& error) {
                   BYTE on = 0;
                   if (!FindLineWord(kSwitchWords, value, on)) {
                       error = std::wstring(name) + L" takes " + accepted + L", not '" + value + L"'";
                       return false;
                   }
                   lines = on ? uint8_t(lines | bit) : uint8_t(lines & ~bit);
                   return true;
               }});
}

} // namespace

SerialLineSettings LineOptions::Settings() const {
    SerialLineSettings settings = line;
    settings.baudRate = DWORD(baudRate);
    return settings;
}

void AddLineOptions(C_OptionTable& table, LineOptions& values) {
    SerialLineSettings& line = values.line;
    table.AddNumber(L"--baud", L"N", L"baud rate of a serial port (default 115200)", values.baudRate, 1,
                    int(kMaxBaudRate));
    AddChoice(table, L"--parity", L"parity of a serial port (default none)", kParityWords, line.parity);
    AddChoice(table, L"--stop-bits", L"stop bits of a serial port (default 1)", kStopBitWords, line.stopBits);
    AddChoice(table, L"--data-bits", L"data bits of a serial port (default 8)", kDataBitWords, line.dataBits);
    AddChoice(table, L"--flow", L"flow control of a serial port (default none)", kFlowWords, line.flowControl);
    AddLineSwitch(table, L"--dtr", L"DTR at the open (default on)", LINE_DTR, line.linesAtOpen);
    AddLineSwitch(table, L"--rts", L"RTS at the open (default on)", LINE_RTS, line.linesAtOpen);
}
