#pragma once
// What a port session tells whoever shows it (the main window; a recorder in tests). Every call comes on the
// thread that started the session, never from the session's connection threads, and names the session by its
// id: a host that has closed a session meanwhile finds no session of that id and ignores the call, so no thread
// ever holds a pointer to a session that may be gone.
#include "foundation/base/TextString.h"

#include <cstdint>

enum class SessionEvent : uint32_t {
    State,       // opened, closed or lost: the title suffix and IsOpen changed
    OptionsText, // the text for the Options button changed (the line the open used)
    Activity,    // lines arrived while the session was not in front (once until it is marked seen)
    HiddenLine,  // a line arrived that the session's filter hides (the filter field's indicator)
    FileSend,    // a file send started, made progress or ended (Connection().GetFileSendProgress())
    LogFailed,   // the log could not be written and was closed; LogPath() names its file
};

class C_SessionHost {
public:
    virtual void OnSessionEvent(uint32_t session, SessionEvent event) = 0;
    // A connection's status balloon ("Successfully opened serial port", COM5); name may be null. Both texts
    // live only during the call.
    virtual void ShowSessionStatus(uint32_t session, const wchar_t* title, const wchar_t* name) = 0;
    // An entry of the string table in the user's language; called on the connection's threads as well.
    virtual void LoadText(unsigned id, C_String& text) = 0;
    // An engine attached to the session posted news (C_PortSession::PostNotice); code is the engine's own.
    virtual void OnSessionNotice(uint32_t /*session*/, uint32_t /*code*/) {}

protected:
    ~C_SessionHost() = default;
};
