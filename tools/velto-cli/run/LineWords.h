#pragma once
// The words that name a serial line's settings, spelled alike on the command line of velto-cli run and in a
// script's open step, so a script reads like the options it could have been given.
#include "foundation/settings/LineSettings.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct LineWord {
    const wchar_t* word;
    BYTE code;
};

// The system's codes for parity and stop bits.
constexpr LineWord kParityWords[] = {
    {L"none", NOPARITY}, {L"odd", ODDPARITY}, {L"even", EVENPARITY}, {L"mark", MARKPARITY}, {L"space", SPACEPARITY}};
constexpr LineWord kStopBitWords[] = {{L"1", ONESTOPBIT}, {L"1.5", ONE5STOPBITS}, {L"2", TWOSTOPBITS}};

// The codes of FlowControl, in the words of velto-cli capture's --flow.
constexpr LineWord kFlowWords[] = {
    {L"none", FLOW_NONE}, {L"rtscts", FLOW_RTS_CTS}, {L"dsrdtr", FLOW_DSR_DTR}, {L"xonxoff", FLOW_XON_XOFF}};
constexpr LineWord kDataBitWords[] = {{L"5", 5}, {L"6", 6}, {L"7", 7}, {L"8", 8}};
constexpr LineWord kSwitchWords[] = {{L"off", 0}, {L"on", 1}};

// The modem control lines a step sets or pulses.
enum ModemLines : unsigned { MODEM_DTR = 0x1, MODEM_RTS = 0x2, MODEM_BOTH = MODEM_DTR | MODEM_RTS };
constexpr LineWord kPulseWords[] = {{L"dtr", MODEM_DTR}, {L"rts", MODEM_RTS}, {L"both", MODEM_BOTH}};

// What an open asks of the line beyond baud rate, parity and stop bits; each unset one stays as the target
// opens it.
struct LineControl {
    std::optional<BYTE> dataBits;
    std::optional<BYTE> flow; // FlowControl
    std::optional<bool> dtr;
    std::optional<bool> rts;

    bool IsEmpty() const { return !dataBits && !flow && !dtr && !rts; }
};

// The code of word among words; false when it is none of them.
template <size_t N> bool FindLineWord(const LineWord (&words)[N], const std::wstring& word, BYTE& code) {
    for (const LineWord& entry : words)
        if (word == entry.word) {
            code = entry.code;
            return true;
        }
    return false;
}

template <size_t N> const wchar_t* LineWordFor(const LineWord (&words)[N], BYTE code) {
    for (const LineWord& entry : words)
        if (entry.code == code)
            return entry.word;
    return L"?";
}

// "none|odd|even" for the messages and the help.
template <size_t N> std::wstring LineWordList(const LineWord (&words)[N]) {
    std::wstring list;
    for (const LineWord& entry : words)
        list += (list.empty() ? L"" : L"|") + std::wstring(entry.word);
    return list;
}
