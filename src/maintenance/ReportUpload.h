#pragma once
// The problem report's form: a few facts, what the user entered, and the two crash files, posted to the report
// service.
#include <windows.h>

#include "foundation/TextString.h"

struct ReportUpload {
    const wchar_t* host; // may end in ":port"
    const wchar_t* path;
    const wchar_t* productName;
    const wchar_t* extra;
    const wchar_t* machineIdentifier;
    const wchar_t* email;
    const wchar_t* description;
    const wchar_t* dumpPath; // null when there is no dump
    const wchar_t* textPath;
};

// A host text with an optional ":port" (1 to 65535) behind it; without one the port is defaultPort.
bool SplitHostPort(const wchar_t* text, WORD defaultPort, C_String& host, WORD& port);

// Builds the form (fields a, p, s, v, g, e, x, then the files d and t) and posts it to the report path on port 80
// (or the host's own port) over plain HTTP. Nothing is sent when a text field cannot be added; a file that is
// missing only leaves its content out. The answer is not looked at: true when one came.
bool PostReport(const ReportUpload& upload);
