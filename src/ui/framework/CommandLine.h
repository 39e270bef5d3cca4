#pragma once
// C_CommandLine: the program's option parser. Options start with "-" or "/" and are matched by name without
// regard to case; a word starting with "@" names a file whose lines are parsed as further command lines.
//   -l de  -P "COM3"  -b115200  -b 9600  @options.txt
#include <windows.h>

#include "foundation/base/TextString.h"

#include <cstdint>

class C_CommandLine {
public:
    enum Kind : int {
        KIND_DECIMAL = 0, // "%I64i": decimal, 0x-hexadecimal or leading-zero octal
        KIND_HEX = 1,     // "%I64x"
        KIND_FLAG = 2,
        KIND_TEXT = 3,
    };
    static constexpr int kMaxOptions = 16;
    static constexpr int kMaxNameLength = 31;
    // Option files may name further option files; this bounds the chain (a file naming itself included).
    static constexpr int kMaxFileDepth = 8;
    static constexpr size_t kMaxFileLine = 4096;

    C_CommandLine() = default;
    C_CommandLine(const C_CommandLine&) = delete;
    C_CommandLine& operator=(const C_CommandLine&) = delete;

    bool Declare(const wchar_t* name, Kind kind, int64_t defaultValue = 0);

    // The process's command line without the program name.
    bool Parse();
    // A text of options and words (no program name). False when an option was not declared or an option file
    // could not be read; everything else is still taken.
    bool Parse(const wchar_t* commandLine);

    // The value of a text option, only when it was given and is not empty.
    bool GetText(const wchar_t* name, C_String& out) const;
    // The value of a number or flag option, or its declared default when it was not given.
    int64_t GetNumber(const wchar_t* name) const;
    bool WasGiven(const wchar_t* name) const;
    // Words that were neither options nor option values nor option files.
    int GetPlainWordCount() const { return m_plainWords; }

private:
    struct Option {
        wchar_t name[kMaxNameLength + 1];
        Kind kind;
        int64_t defaultValue;
        int64_t number;
        bool given;
        C_String text;
    };

    bool ParseText(const wchar_t* text, int depth);
    const wchar_t* ParseOption(const wchar_t* at, bool& ok);
    bool ParseFile(const wchar_t* path, int depth);
    Option* Match(const wchar_t* word, uint32_t length, const wchar_t*& valueText);
    const Option* Find(const wchar_t* name) const;

    Option m_options[kMaxOptions];
    int m_count = 0;
    int m_plainWords = 0;
};

// Reads one word: blanks end it except inside double quotes, which are removed; inside quotes a doubled double
// quote stands for one. Returns the position after the word.
const wchar_t* ReadCommandWord(const wchar_t* at, C_String& word);
