#pragma once
// C_EscapeInterpreter: recognises the small set of ANSI/VT escape sequences the terminal understands
// (cursor movement, erasing, deleting, colours, a few modes) one byte at a time. It does not swallow what it
// does not know: the final byte of an unknown sequence, the byte after an unknown escape introducer, the
// undesignated character-set byte and the byte ending an unknown operating-system command come back as
// PassThrough and become text; a control sequence broken by a byte outside its range has its parameters
// written out as text.
//
// The state survives connects and disconnects: a sequence cut off by a disconnect continues with the first
// bytes of the next connection. Runs only on the reader thread.
#include "terminal/store/LineStore.h"
#include "terminal/receive/ParameterText.h"

#include <cstdint>

// What the interpreter needs from the receive assembly that owns it.
class C_InterpreterHost {
public:
    // Hands the pending text to the store (UTF-8 decoded, not as a line end) before the cursor or the
    // colours change, so that it lands where and how it was received.
    virtual void FlushPendingText() = 0;
    // Appends bytes to the pending line as text, one character per byte.
    virtual void AppendPendingBytes(const char* bytes, uint32_t length) = 0;

protected:
    ~C_InterpreterHost() = default;
};

class C_EscapeInterpreter {
public:
    enum class Result {
        Consumed,          // part of a sequence; produces no text
        PassThrough,       // an ordinary byte
        EmittedParameters, // the parameters were written as text; the byte goes only to line-end handling
    };
    enum class State {
        Ground,
        Escape,
        ControlSequence,
        OperatingSystemCommand,
        CharsetG0,
        CharsetG1,
        ReverseIndexWait
    };

    static constexpr uint8_t kEscape = 0x1B;
    static constexpr uint8_t kCarriageReturn = 0x0D;

    C_EscapeInterpreter(C_LineStore& store, C_InterpreterHost& host) : m_store(store), m_host(host) {}

    Result InterpretEscape(uint8_t byte);

    State GetState() const { return m_state; }
    bool InGround() const { return m_state == State::Ground; }
    // Set by ESC [ ? 1 h, cleared by ESC [ ? 1 l; the view sends cursor keys as ESC O x while it is set.
    bool CursorKeyApplicationMode() const { return m_cursorKeyApplicationMode; }
    // Row 1, column 1 of absolute cursor addressing; unset (negative) until the first erase-display. Its row
    // is clamped to the first stored line once the store has dropped the line it was on.
    C_LineStore::Position GetScreenOrigin() const;

private:
    Result InEscape(uint8_t byte);
    Result InControlSequence(uint8_t byte);
    Result InOperatingSystemCommand(uint8_t byte);
    Result InCharset(uint8_t byte);
    Result InReverseIndexWait(uint8_t byte);

    Result DispatchControlSequence(uint8_t final);
    void MoveCursorBy(int64_t columns, int64_t rows);
    Result CursorPosition();
    void LinePositionAbsolute();
    void EraseDisplay();
    void EraseInLine();
    Result SetMode(bool set);
    void SelectGraphicRendition();
    bool OriginSet() const { return m_originColumn >= 0 && m_originLine >= 0; }
    // The store row of the given screen row (1 = the origin's); negative once it was dropped.
    int64_t StoreRowOf(uint32_t screenRow) const;
    void MoveCursorTo(int64_t column, int64_t row);

    C_LineStore& m_store;
    C_InterpreterHost& m_host;
    State m_state = State::Ground;
    C_ParameterText m_parameters;
    bool m_cursorKeyApplicationMode = false;
    // The origin's line is kept as its number since the store began, which dropping lines does not change.
    int m_originColumn = -1;
    int64_t m_originLine = -1;
};
