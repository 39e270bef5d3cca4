#pragma once
// A script of velto-cli run: one step per line, parsed whole before anything is opened, so a typing error in
// the last line never costs a board a half-run test. Every error names its line; the parser goes on after an
// error, so one run of the command lists them all.
#include "velto-cli/LineWords.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

enum class StepKind {
    Open,
    Send,
    SendHex,
    Expect,
    ExpectNot,
    Wait,
    Timeout,
    Log,
    Close,
    Reopen,
    Break,
    Pulse,
    Dtr,
    Rts,
};

// What an open step asks of the line beyond baud rate, parity and stop bits; each unset one stays as the
// command line gives it.
struct LineControl {
    std::optional<BYTE> dataBits;
    std::optional<BYTE> flow; // FlowControl
    std::optional<bool> dtr;
    std::optional<bool> rts;
};

struct Step {
    StepKind kind = StepKind::Close;
    int line = 0;        // 1-based; 0 for the target given on the command line
    std::wstring source; // the step as written, without its comment: what the reports show
    // Open: the target. Log: the file. Expect, expectnot: the pattern between the slashes, as written.
    std::wstring text;
    std::string bytes; // send (its escapes decoded, the text in the ANSI code page) and sendhex: what goes out
    std::shared_ptr<const std::wregex> pattern;
    // Wait, timeout, break and pulse: their duration. Expectnot: for=. Expect and reopen: timeout=, when given.
    uint32_t milliseconds = 0;
    bool hasTimeout = false;
    uint8_t modemLines = 0; // pulse, dtr and rts: bits of ModemLine
    bool on = false;        // dtr and rts
    // Open: the line settings the step names; the others come from the command line.
    std::optional<DWORD> baudRate;
    std::optional<BYTE> parity;
    std::optional<BYTE> stopBits;
    LineControl control;
};

struct ScriptError {
    int line;
    std::wstring message;
};

namespace Script {

// Bounds that keep a mistyped number from becoming a wait of years or a script from exhausting memory.
constexpr uint32_t kMaxSeconds = 7 * 24 * 3600;
constexpr size_t kMaxPatternLength = 1000;
constexpr uint64_t kMaxScriptBytes = 4 * 1024 * 1024;

// The steps of text, a script with its lines ending in LF or CR LF. False when any line is wrong; errors then
// holds one entry per wrong line, in order, and steps is incomplete.
bool Parse(const std::wstring& text, std::vector<Step>& steps, std::vector<ScriptError>& errors);

// Reads a script file: UTF-8, with or without a byte-order mark. False with a one-line reason (naming the line
// for text that is not UTF-8).
bool Load(const std::wstring& path, std::wstring& text, std::wstring& error);

// The step's name as written in a script ("expectnot").
const wchar_t* StepName(StepKind kind);

// True for the steps that need an open target: they cannot come before the first open when no target is given
// on the command line.
bool NeedsTarget(StepKind kind);

} // namespace Script
