#pragma once
// The words that name a serial line's settings, spelled alike in the options of velto-cli capture and run and in
// a script's steps, so a script reads like the options it could have been given.
#include "foundation/settings/LineSettings.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Nine digits: as far as the option and step parsers read a number.
constexpr DWORD kMaxBaudRate = 999999999;
// A break or a reset pulse: longer would be a mistyped number, not a signal.
constexpr uint32_t kMaxLineSignalMs = 60000;

struct LineWord {
    const wchar_t* word;
    BYTE code;
};

// The system's codes for parity and stop bits.
constexpr LineWord kParityWords[] = {
    {L"none", NOPARITY}, {L"odd", ODDPARITY}, {L"even", EVENPARITY}, {L"mark", MARKPARITY}, {L"space", SPACEPARITY}};
constexpr LineWord kStopBitWords[] = {{L"1", ONESTOPBIT}, {L"1.5", ONE5STOPBITS}, {L"2", TWOSTOPBITS}};
constexpr LineWord kDataBitWords[] = {{L"5", 5}, {L"6", 6}, {L"7", 7}, {L"8", 8}};
constexpr LineWord kFlowWords[] = {
    {L"none", FLOW_NONE}, {L"rtscts", FLOW_RTS_CTS}, {L"dsrdtr", FLOW_DSR_DTR}, {L"xonxoff", FLOW_XON_XOFF}};
constexpr LineWord kSwitchWords[] = {{L"on", 1}, {L"off", 0}};
// The modem lines a reset pulse drops, as bits of ModemLine.
constexpr LineWord kPulseWords[] = {{L"dtr", LINE_DTR}, {L"rts", LINE_RTS}, {L"both", kBothModemLines}};

// The code of word among words; false when it is none of them.
template <size_t N> bool FindLineWord(const LineWord (&words)[N], const std::wstring& word, BYTE& code) {
    for (const LineWord& entry : words)
        if (word == entry.word) {
            code = entry.code;
            return true;
        }
    return false;
}

// "none|odd|even" for the messages and the help.
template <size_t N> std::wstring LineWordList(const LineWord (&words)[N]) {
    std::wstring list;
    for (const LineWord& entry : words)
        list += (list.empty() ? L"" : L"|") + std::wstring(entry.word);
    return list;
}
