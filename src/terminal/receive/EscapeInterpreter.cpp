#include "terminal/receive/EscapeInterpreter.h"

#include "terminal/receive/GraphicRendition.h"

#include <climits>

using Result = C_EscapeInterpreter::Result;
using State = C_EscapeInterpreter::State;

namespace {

constexpr uint8_t kParameterFirst = 0x21; // '!'
constexpr uint8_t kParameterLast = 0x3F;  // '?'
constexpr uint8_t kFinalFirst = 0x40;     // '@'
constexpr uint8_t kFinalLast = 0x7E;      // '~'
constexpr uint8_t kCommandFirst = 0x30;   // '0': operating-system commands collect 0x30-0x3F only
constexpr uint8_t kCommandLast = 0x3F;

constexpr char kResetColoursCommand[] = "104";

int ClampToInt(int64_t value) {
    return value < INT_MIN ? INT_MIN : (value > INT_MAX ? INT_MAX : int(value));
}

} // namespace

Result C_EscapeInterpreter::InterpretEscape(uint8_t byte) {
    switch (m_state) {
    case State::Ground:
        if (byte != kEscape)
            return Result::PassThrough;
        m_state = State::Escape;
        return Result::Consumed;
    case State::Escape:
        return InEscape(byte);
    case State::ControlSequence:
        return InControlSequence(byte);
    case State::OperatingSystemCommand:
        return InOperatingSystemCommand(byte);
    case State::CharsetG0:
    case State::CharsetG1:
        return InCharset(byte);
    case State::ReverseIndexWait:
        return InReverseIndexWait(byte);
    }
    return Result::PassThrough;
}

Result C_EscapeInterpreter::InEscape(uint8_t byte) {
    m_state = State::Ground;
    switch (byte) {
    case '[':
        m_state = State::ControlSequence;
        break;
    case ']':
        m_state = State::OperatingSystemCommand;
        break;
    case '(':
        m_state = State::CharsetG0;
        break;
    case ')':
        m_state = State::CharsetG1;
        break;
    case '7': // save cursor: nothing to save in an ever-growing store
        return Result::Consumed;
    case 'M':
        m_state = State::ReverseIndexWait;
        return Result::Consumed;
    default:
        return Result::PassThrough;
    }
    m_parameters.Clear();
    return Result::Consumed;
}

Result C_EscapeInterpreter::InCharset(uint8_t byte) {
    m_state = State::Ground;
    return byte == '0' || byte == 'B' || byte == 'K' || byte == 'U' ? Result::Consumed : Result::PassThrough;
}

// Reverse index moves up only when a CR follows, and without flushing: text still pending lands on the
// line above.
Result C_EscapeInterpreter::InReverseIndexWait(uint8_t byte) {
    m_state = State::Ground;
    if (byte == kCarriageReturn) {
        C_LineStore::Position cursor = m_store.GetCursor();
        if (cursor.row > 0)
            m_store.SetCursor(cursor.column, cursor.row - 1);
    }
    return Result::Consumed;
}

Result C_EscapeInterpreter::InControlSequence(uint8_t byte) {
    if (byte >= kParameterFirst && byte <= kParameterLast) {
        m_parameters.Append(byte);
        return Result::Consumed;
    }
    if (byte >= kFinalFirst && byte <= kFinalLast) {
        m_state = State::Ground;
        return DispatchControlSequence(byte);
    }
    // A broken sequence: what it collected becomes visible, and the sequence goes on.
    m_host.AppendPendingBytes(m_parameters.Data(), m_parameters.Length());
    return Result::EmittedParameters;
}

Result C_EscapeInterpreter::InOperatingSystemCommand(uint8_t byte) {
    if (byte >= kCommandFirst && byte <= kCommandLast) {
        m_parameters.Append(byte);
        return Result::Consumed;
    }
    m_state = State::Ground;
    if (!m_parameters.Equals(kResetColoursCommand))
        return Result::PassThrough;
    m_host.FlushPendingText();
    m_store.SetColours(Colour::kDefaultForeground, Colour::kDefaultBackground);
    return Result::Consumed;
}

// --- control sequences ----------------------------------------------------------------------------------

Result C_EscapeInterpreter::DispatchControlSequence(uint8_t final) {
    switch (final) {
    case 'A':
        MoveCursorBy(0, -int64_t(m_parameters.LeadingNumber(1)));
        return Result::Consumed;
    case 'B':
        MoveCursorBy(0, m_parameters.LeadingNumber(1));
        return Result::Consumed;
    case 'C':
        MoveCursorBy(m_parameters.LeadingNumber(1), 0);
        return Result::Consumed;
    case 'D':
        MoveCursorBy(-int64_t(m_parameters.LeadingNumber(1)), 0);
        return Result::Consumed;
    case 'H':
    case 'f':
        return CursorPosition();
    case 'J':
        EraseDisplay();
        return Result::Consumed;
    case 'K':
        EraseInLine();
        return Result::Consumed;
    case 'L': // insert line, status report, scroll region: understood, no effect
    case 'n':
    case 'r':
        return Result::Consumed;
    case 'P':
        m_host.FlushPendingText();
        m_store.DeleteChars(m_parameters.LeadingNumber(1));
        return Result::Consumed;
    case 'd':
        LinePositionAbsolute();
        return Result::Consumed;
    case 'h':
    case 'l':
        return SetMode(final == 'h');
    case 'm':
        SelectGraphicRendition();
        return Result::Consumed;
    case 'p': // soft reset
        return m_parameters.Equals("!") ? Result::Consumed : Result::PassThrough;
    default:
        return Result::PassThrough;
    }
}

// Relative moves never leave the store: a count larger than the position stops at row or column 0.
void C_EscapeInterpreter::MoveCursorBy(int64_t columns, int64_t rows) {
    m_host.FlushPendingText();
    C_LineStore::Position cursor = m_store.GetCursor();
    bool moveLeft = columns < 0;
    if (moveLeft && cursor.column <= 0)
        return; // cursor back at column 0 leaves everything as it is
    int64_t column = cursor.column + columns;
    int64_t row = cursor.row > 0 || rows >= 0 ? cursor.row + rows : cursor.row;
    MoveCursorTo(column < 0 ? 0 : column, row < 0 ? 0 : row);
}

void C_EscapeInterpreter::MoveCursorTo(int64_t column, int64_t row) {
    m_store.SetCursor(ClampToInt(column), ClampToInt(row));
}

// Parameters "row;column"; a text that starts with ';' gives row 1 and needs a column after it.
Result C_EscapeInterpreter::CursorPosition() {
    uint32_t row = 1;
    uint32_t column = 1;
    uint32_t position = 0;
    if (m_parameters.Length() && m_parameters.Data()[0] == ';') {
        position = 1;
        if (!m_parameters.ReadNumber(position, column))
            return Result::Consumed;
    } else if (m_parameters.ReadNumber(position, row) && position < m_parameters.Length() &&
               m_parameters.Data()[position] == ';') {
        ++position;
        m_parameters.ReadNumber(position, column);
    }
    m_host.FlushPendingText();
    if (OriginSet())
        MoveCursorTo(int64_t(m_originColumn) + column - 1, StoreRowOf(row));
    return Result::Consumed;
}

void C_EscapeInterpreter::LinePositionAbsolute() {
    uint32_t row = m_parameters.LeadingNumber(1);
    m_host.FlushPendingText();
    if (OriginSet())
        MoveCursorTo(m_originColumn, StoreRowOf(row));
}

int64_t C_EscapeInterpreter::StoreRowOf(uint32_t screenRow) const {
    return m_originLine - int64_t(m_store.DroppedLines()) + int64_t(screenRow) - 1;
}

C_LineStore::Position C_EscapeInterpreter::GetScreenOrigin() const {
    if (!OriginSet())
        return {-1, -1};
    int64_t row = StoreRowOf(1);
    return {m_originColumn, row < 0 ? 0 : int(row)};
}

// The store is never erased: the "screen" starts again below everything received so far. Text still pending
// belongs where the cursor was, so it is written before the cursor moves to the end.
void C_EscapeInterpreter::EraseDisplay() {
    static const char kLineFeed = '\n';
    m_host.FlushPendingText();
    m_store.CursorToEnd();
    m_host.AppendPendingBytes(&kLineFeed, 1);
    m_host.FlushPendingText();
    C_LineStore::Position origin = m_store.GetCursor();
    m_originColumn = origin.column;
    m_originLine = int64_t(origin.row) + int64_t(m_store.DroppedLines());
}

void C_EscapeInterpreter::EraseInLine() {
    uint32_t mode = m_parameters.LeadingNumber(0);
    if (mode > 2)
        return;
    static const C_LineStore::Erase kModes[] = {C_LineStore::Erase::ToLineEnd, C_LineStore::Erase::FromLineStart,
                                                C_LineStore::Erase::WholeLine};
    m_host.FlushPendingText();
    m_store.EraseInLine(kModes[mode]);
}

Result C_EscapeInterpreter::SetMode(bool set) {
    if (m_parameters.Equals("?1")) {
        m_cursorKeyApplicationMode = set;
        return Result::Consumed;
    }
    bool known = m_parameters.Equals("4") || m_parameters.Equals("?7") || m_parameters.Equals("?2004") ||
                 m_parameters.Equals("?25");
    return known ? Result::Consumed : Result::PassThrough;
}

void C_EscapeInterpreter::SelectGraphicRendition() {
    Rgb foreground;
    Rgb background;
    GraphicRendition::Parse(m_parameters, foreground, background);
    m_host.FlushPendingText();
    m_store.SetColours(foreground, background);
}
