#include "velto-cli/run/Script.h"

#include "foundation/base/File.h"
#include "connection/sending/SendText.h"

namespace {

struct StepEntry {
    const wchar_t* word;
    StepKind kind;
};

constexpr StepEntry kSteps[] = {
    {L"open", StepKind::Open},
    {L"send", StepKind::Send},
    {L"sendhex", StepKind::SendHex},
    {L"expect", StepKind::Expect},
    {L"expectnot", StepKind::ExpectNot},
    {L"wait", StepKind::Wait},
    {L"timeout", StepKind::Timeout},
    {L"log", StepKind::Log},
    {L"close", StepKind::Close},
    {L"reopen", StepKind::Reopen},
    {L"break", StepKind::Break},
    {L"pulse", StepKind::Pulse},
    {L"dtr", StepKind::Dtr},
    {L"rts", StepKind::Rts},
};

constexpr wchar_t kComment = L'#';
constexpr wchar_t kQuote = L'"';
constexpr wchar_t kSlash = L'/';
constexpr wchar_t kBackslash = L'\\';
constexpr size_t kMaxIntegerDigits = 9;
constexpr size_t kMaxFractionDigits = 9;

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}

std::wstring Trimmed(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// The words of a line after its step name. A word that starts with # ends the line (a comment); a word in
// double quotes keeps its blanks (a path like "C:\My Logs\boot.log").
class C_Words {
public:
    C_Words(const std::wstring& line, size_t from) : m_line(line), m_at(from) {}

    // False at the end of the line; false with error set for an unclosed quote.
    bool Next(std::wstring& word, std::wstring& error) {
        SkipBlanks();
        if (m_at >= m_line.size() || m_line[m_at] == kComment)
            return false;
        if (m_line[m_at] == kQuote) {
            const size_t close = m_line.find(kQuote, m_at + 1);
            if (close == std::wstring::npos) {
                error = L"missing closing quote in " + m_line.substr(m_at);
                return false;
            }
            word = m_line.substr(m_at + 1, close - m_at - 1);
            m_at = close + 1;
            return true;
        }
        const size_t begin = m_at;
        while (m_at < m_line.size() && !IsBlank(m_line[m_at]))
            ++m_at;
        word = m_line.substr(begin, m_at - begin);
        return true;
    }
    void SkipBlanks() {
        while (m_at < m_line.size() && IsBlank(m_line[m_at]))
            ++m_at;
    }
    size_t Position() const { return m_at; }
    void MoveTo(size_t at) { m_at = at; }
    // The source up to here, without a comment after it: what reports show of the step.
    std::wstring Source() const { return Trimmed(m_line.substr(0, m_at)); }

private:
    const std::wstring& m_line;
    size_t m_at;
};

// SECONDS: digits with an optional fraction ("2", "0.5", "1.25"), to the millisecond.
bool ParseSeconds(const std::wstring& text, uint32_t& milliseconds) {
    const size_t dot = text.find(L'.');
    const std::wstring whole = text.substr(0, dot);
    const std::wstring fraction = dot == std::wstring::npos ? L"" : text.substr(dot + 1);
    if ((whole.empty() && fraction.empty()) || whole.size() > kMaxIntegerDigits ||
        fraction.size() > kMaxFractionDigits || (dot != std::wstring::npos && fraction.empty()))
        return false;
    uint64_t total = 0;
    for (wchar_t ch : whole) {
        if (ch < L'0' || ch > L'9')
            return false;
        total = total * 10 + uint64_t(ch - L'0');
    }
    // Three decimals are milliseconds; the fourth rounds them.
    const std::wstring padded = fraction + L"0000";
    for (wchar_t ch : fraction)
        if (ch < L'0' || ch > L'9')
            return false;
    for (size_t i = 0; i < 3; ++i)
        total = total * 10 + uint64_t(padded[i] - L'0');
    if (padded[3] >= L'5')
        ++total;
    if (total > uint64_t(Script::kMaxSeconds) * 1000)
        return false;
    milliseconds = uint32_t(total);
    return true;
}

bool ParseWhole(const std::wstring& text, uint64_t maximum, uint64_t& value) {
    if (text.empty() || text.size() > kMaxIntegerDigits)
        return false;
    value = 0;
    for (wchar_t ch : text) {
        if (ch < L'0' || ch > L'9')
            return false;
        value = value * 10 + uint64_t(ch - L'0');
    }
    return value >= 1 && value <= maximum;
}

std::wstring BadNumber(const std::wstring& text, const std::wstring& what) {
    return L"bad number '" + text + L"' for " + what;
}

const wchar_t kSecondsHint[] = L" (seconds, such as 2 or 0.5)";

class C_LineParser {
public:
    C_LineParser(const std::wstring& line, size_t afterName, Step& step)
        : m_words(line, afterName), m_line(line), m_step(step) {}

    // The step's arguments; an empty result is success.
    std::wstring Parse();

private:
    std::wstring ParseOpen();
    std::wstring ParseOpenOption(const std::wstring& key, const std::wstring& value);
    std::wstring ParseSend();
    std::wstring ParseSendHex();
    std::wstring ParseExpect();
    std::wstring ParsePattern();
    std::wstring ParseDuration(const wchar_t* what);
    std::wstring ParseLineMilliseconds(const std::wstring& word);
    std::wstring ParseLog();
    std::wstring ParseReopen();
    std::wstring ParsePulse();
    std::wstring ParseSwitch();
    std::wstring ParseOptions(const wchar_t* key, bool required);
    // The next word, which the step needs; what names it in the message when it is missing.
    std::wstring Need(std::wstring& word, const wchar_t* what);
    std::wstring NothingMore();
    std::wstring Name() const { return Script::StepName(m_step.kind); }

    C_Words m_words;
    const std::wstring& m_line;
    Step& m_step;
};

std::wstring C_LineParser::Parse() {
    std::wstring error;
    switch (m_step.kind) {
    case StepKind::Open:
        error = ParseOpen();
        break;
    case StepKind::Send:
        return ParseSend(); // the rest of the line is its text, a # included
    case StepKind::SendHex:
        error = ParseSendHex();
        break;
    case StepKind::Expect:
    case StepKind::ExpectNot:
        error = ParseExpect();
        break;
    case StepKind::Wait:
    case StepKind::Timeout:
        error = ParseDuration(Name().c_str());
        break;
    case StepKind::Log:
        error = ParseLog();
        break;
    case StepKind::Close:
        error = NothingMore();
        break;
    case StepKind::Reopen:
        error = ParseReopen();
        break;
    case StepKind::Break: {
        std::wstring word;
        error = Need(word, L"MS");
        if (error.empty())
            error = ParseLineMilliseconds(word);
        break;
    }
    case StepKind::Pulse:
        error = ParsePulse();
        break;
    case StepKind::Dtr:
    case StepKind::Rts:
        error = ParseSwitch();
        break;
    }
    if (error.empty())
        error = NothingMore();
    m_step.source = m_words.Source();
    return error;
}

std::wstring C_LineParser::Need(std::wstring& word, const wchar_t* what) {
    std::wstring error;
    if (m_words.Next(word, error))
        return L"";
    return error.empty() ? Name() + L" needs " + what : error;
}

std::wstring C_LineParser::NothingMore() {
    const size_t at = m_words.Position();
    std::wstring word, error;
    if (!m_words.Next(word, error))
        return error;
    m_words.MoveTo(at);
    return Name() + L" takes nothing more, not '" + word + L"'";
}

std::wstring C_LineParser::ParseOpen() {
    std::wstring error = Need(m_step.text, L"a TARGET");
    std::wstring word;
    while (error.empty() && m_words.Next(word, error)) {
        const size_t equals = word.find(L'=');
        if (equals == std::wstring::npos)
            return L"open takes one TARGET and key=value options, not '" + word + L"'";
        error = ParseOpenOption(word.substr(0, equals), word.substr(equals + 1));
    }
    return error;
}

std::wstring C_LineParser::ParseOpenOption(const std::wstring& key, const std::wstring& value) {
    BYTE code = 0;
    auto choose = [&](const auto& words, auto& target, auto convert) -> std::wstring {
        if (target)
            return L"open names " + key + L"= twice";
        if (!FindLineWord(words, value, code))
            return L"open: " + key + L"= cannot be '" + value + L"' (" + LineWordList(words) + L")";
        target = convert(code);
        return L"";
    };
    auto asByte = [](BYTE c) { return c; };
    if (key == L"baud") {
        uint64_t rate = 0;
        if (m_step.baudRate)
            return L"open names baud= twice";
        if (!ParseWhole(value, kMaxBaudRate, rate))
            return BadNumber(value, L"baud= (1 to " + std::to_wstring(kMaxBaudRate) + L")");
        m_step.baudRate = DWORD(rate);
        return L"";
    }
    if (key == L"parity")
        return choose(kParityWords, m_step.parity, asByte);
    if (key == L"stop")
        return choose(kStopBitWords, m_step.stopBits, asByte);
    if (key == L"data")
        return choose(kDataBitWords, m_step.control.dataBits, asByte);
    if (key == L"flow")
        return choose(kFlowWords, m_step.control.flow, asByte);
    if (key == L"dtr")
        return choose(kSwitchWords, m_step.control.dtr, [](BYTE c) { return c != 0; });
    if (key == L"rts")
        return choose(kSwitchWords, m_step.control.rts, [](BYTE c) { return c != 0; });
    return L"open: unknown option '" + key + L"=' (known: baud= parity= stop= data= flow= dtr= rts=)";
}

// The text starts after exactly one blank, so leading blanks the device should receive are kept.
std::wstring C_LineParser::ParseSend() {
    size_t at = m_words.Position();
    if (at < m_line.size() && IsBlank(m_line[at]))
        ++at;
    const std::wstring text = m_line.substr(at);
    m_step.source = Trimmed(m_line);
    if (text.empty())
        return L"send needs a TEXT (escapes: \\r \\n \\t \\\\ \\xHH)";
    SendText::Error error;
    if (!SendText::DecodeEscapes(text, m_step.bytes, error))
        return L"send: " + std::wstring(SendText::Reason(error.problem)) + L" at '" + text.substr(error.position) +
               L"'";
    return L"";
}

std::wstring C_LineParser::ParseSendHex() {
    std::wstring word, error;
    while (m_words.Next(word, error)) {
        SendText::Error fault;
        std::string bytes;
        if (!SendText::ParseHexBytes(word, bytes, fault))
            return L"sendhex: '" + word + L"': " + SendText::Reason(fault.problem) + L" (bytes such as 0d or ff)";
        m_step.bytes += bytes;
    }
    if (error.empty() && m_step.bytes.empty())
        return L"sendhex needs bytes, such as sendhex 01 02 ff";
    return error;
}

std::wstring C_LineParser::ParseExpect() {
    std::wstring error = ParsePattern();
    if (!error.empty())
        return error;
    const bool isExpect = m_step.kind == StepKind::Expect;
    return ParseOptions(isExpect ? L"timeout" : L"for", !isExpect);
}

// /PATTERN/: the closing slash is the first one not escaped by a backslash and not inside a [class].
std::wstring C_LineParser::ParsePattern() {
    m_words.SkipBlanks();
    const size_t open = m_words.Position();
    if (open >= m_line.size() || m_line[open] != kSlash)
        return Name() + L" needs a /REGEX/";
    size_t at = open + 1;
    bool inClass = false;
    for (; at < m_line.size(); ++at) {
        const wchar_t ch = m_line[at];
        if (ch == kBackslash)
            ++at;
        else if (ch == L'[')
            inClass = true;
        else if (ch == L']')
            inClass = false;
        else if (ch == kSlash && !inClass)
            break;
    }
    if (at >= m_line.size())
        return L"missing closing slash in " + m_line.substr(open);
    m_step.text = m_line.substr(open + 1, at - open - 1);
    m_words.MoveTo(at + 1);
    if (m_step.text.empty())
        return L"empty pattern //: it would match at once";
    if (m_step.text.size() > Script::kMaxPatternLength)
        return L"pattern longer than " + std::to_wstring(Script::kMaxPatternLength) + L" characters";
    try {
        m_step.pattern = std::make_shared<const std::wregex>(m_step.text, std::regex_constants::ECMAScript |
                                                                              std::regex_constants::multiline);
    } catch (const std::regex_error& failure) {
        const std::string what = failure.what();
        return L"bad regular expression /" + m_step.text + L"/: " + std::wstring(what.begin(), what.end());
    }
    return L"";
}

// key=SECONDS after a pattern; the only option each of the two steps takes.
std::wstring C_LineParser::ParseOptions(const wchar_t* key, bool required) {
    const std::wstring prefix = std::wstring(key) + L"=";
    std::wstring word, error;
    while (m_words.Next(word, error)) {
        if (word.compare(0, prefix.size(), prefix) != 0)
            return Name() + L": unknown option '" + word + L"' (known: " + prefix + L"SECONDS)";
        if (m_step.hasTimeout)
            return Name() + L" names " + prefix + L" twice";
        const std::wstring value = word.substr(prefix.size());
        if (!ParseSeconds(value, m_step.milliseconds))
            return BadNumber(value, prefix + kSecondsHint);
        m_step.hasTimeout = true;
    }
    if (error.empty() && required && !m_step.hasTimeout)
        return Name() + L" needs " + prefix + L"SECONDS";
    return error;
}

std::wstring C_LineParser::ParseDuration(const wchar_t* what) {
    std::wstring word;
    std::wstring error = Need(word, L"SECONDS");
    if (error.empty() && !ParseSeconds(word, m_step.milliseconds))
        error = BadNumber(word, std::wstring(what) + kSecondsHint);
    return error;
}

std::wstring C_LineParser::ParseLineMilliseconds(const std::wstring& word) {
    uint64_t milliseconds = 0;
    if (!ParseWhole(word, kMaxLineSignalMs, milliseconds))
        return BadNumber(word, Name() + L" (milliseconds, 1 to " + std::to_wstring(kMaxLineSignalMs) + L")");
    m_step.milliseconds = uint32_t(milliseconds);
    return L"";
}

std::wstring C_LineParser::ParseLog() {
    return Need(m_step.text, L"a FILE");
}

std::wstring C_LineParser::ParseReopen() {
    return ParseOptions(L"timeout", false);
}

std::wstring C_LineParser::ParsePulse() {
    std::wstring word;
    std::wstring error = Need(word, L"dtr, rts or both and MS");
    BYTE lines = 0;
    if (error.empty() && !FindLineWord(kPulseWords, word, lines))
        error = L"pulse: '" + word + L"' is no line (" + LineWordList(kPulseWords) + L")";
    m_step.modemLines = lines;
    if (error.empty())
        error = Need(word, L"MS after the line");
    return error.empty() ? ParseLineMilliseconds(word) : error;
}

std::wstring C_LineParser::ParseSwitch() {
    std::wstring word;
    std::wstring error = Need(word, L"on or off");
    BYTE on = 0;
    if (error.empty() && !FindLineWord(kSwitchWords, word, on))
        error = Name() + L" takes on or off, not '" + word + L"'";
    m_step.on = on != 0;
    m_step.modemLines = m_step.kind == StepKind::Dtr ? LINE_DTR : LINE_RTS;
    return error;
}

std::wstring KnownSteps() {
    std::wstring list;
    for (const StepEntry& entry : kSteps)
        list += (list.empty() ? L"" : L", ") + std::wstring(entry.word);
    return list;
}

// One line: nothing for a blank line or a comment, else one step or one error.
void ParseLine(const std::wstring& line, int number, std::vector<Step>& steps, std::vector<ScriptError>& errors) {
    size_t begin = 0;
    while (begin < line.size() && IsBlank(line[begin]))
        ++begin;
    if (begin == line.size() || line[begin] == kComment)
        return;
    size_t end = begin;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    const std::wstring name = line.substr(begin, end - begin);
    Step step;
    step.line = number;
    bool known = false;
    for (const StepEntry& entry : kSteps)
        if (name == entry.word) {
            step.kind = entry.kind;
            known = true;
        }
    if (!known) {
        errors.push_back({number, L"unknown step '" + name + L"' (steps: " + KnownSteps() + L")"});
        return;
    }
    const std::wstring error = C_LineParser(line, end, step).Parse();
    if (!error.empty()) {
        errors.push_back({number, error});
        return;
    }
    steps.push_back(std::move(step));
}

} // namespace

namespace Script {

bool Parse(const std::wstring& text, std::vector<Step>& steps, std::vector<ScriptError>& errors) {
    steps.clear();
    errors.clear();
    size_t begin = 0;
    for (int number = 1; begin <= text.size(); ++number) {
        size_t end = text.find(L'\n', begin);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        ParseLine(line, number, steps, errors);
        begin = end + 1;
    }
    return errors.empty();
}

bool Load(const std::wstring& path, std::wstring& text, std::wstring& error) {
    C_File file;
    if (!file.Open(path.c_str(), C_File::MODE_READ, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        error = L"cannot open script '" + path + L"'";
        return false;
    }
    const int64_t size = file.GetSize();
    if (size < 0 || uint64_t(size) > kMaxScriptBytes) {
        error = L"script '" + path + L"' is larger than " + std::to_wstring(kMaxScriptBytes / 1024 / 1024) + L" MiB";
        return false;
    }
    std::string bytes(size_t(size), '\0');
    DWORD read = 0;
    if (size && (!file.Read(DWORD(size), &bytes[0], &read) || read != DWORD(size))) {
        error = L"cannot read script '" + path + L"'";
        return false;
    }
    const char kByteOrderMark[] = "\xEF\xBB\xBF";
    size_t begin = bytes.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    text.clear();
    // Line by line, so text that is not UTF-8 is reported at its line.
    for (int number = 1; begin <= bytes.size(); ++number) {
        size_t end = bytes.find('\n', begin);
        if (end == std::string::npos)
            end = bytes.size();
        const int length = int(end - begin);
        if (length > 0) {
            const int units =
                MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + begin, length, nullptr, 0);
            if (units <= 0) {
                error = L"line " + std::to_wstring(number) + L" of script '" + path + L"' is not UTF-8 text";
                return false;
            }
            const size_t at = text.size();
            text.resize(at + size_t(units));
            MultiByteToWideChar(CP_UTF8, 0, bytes.data() + begin, length, &text[at], units);
        }
        if (end < bytes.size())
            text += L'\n';
        begin = end + 1;
    }
    return true;
}

const wchar_t* StepName(StepKind kind) {
    for (const StepEntry& entry : kSteps)
        if (entry.kind == kind)
            return entry.word;
    return L"?";
}

bool NeedsTarget(StepKind kind) {
    switch (kind) {
    case StepKind::Send:
    case StepKind::SendHex:
    case StepKind::Expect:
    case StepKind::ExpectNot:
    case StepKind::Reopen:
    case StepKind::Break:
    case StepKind::Pulse:
    case StepKind::Dtr:
    case StepKind::Rts:
        return true;
    default:
        return false;
    }
}

} // namespace Script
