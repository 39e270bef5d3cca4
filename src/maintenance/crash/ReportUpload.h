#pragma once
// The problem report's form: a few facts, what the user entered, and the two crash files, posted to the report
// service.
#include <windows.h>

#include <cstdint>

#include "foundation/base/TextString.h"

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

// The maker's report service. Tests point a program at a server of their own on this machine with the registry
// value "ReportServer" ("127.0.0.1:8080") below the program's key; any other host there is ignored, so the value
// cannot send crash files anywhere else.
constexpr const wchar_t* kReportHost = L"198.51.100.20";
constexpr const wchar_t* kReportServerValue = L"ReportServer";

// The report host: the loopback override from the program's key, else kReportHost.
bool ResolveReportHost(HKEY root, const wchar_t* keyPath, C_String& out);

// A host text with an optional ":port" (1 to 65535) behind it; without one the port is defaultPort.
bool SplitHostPort(const wchar_t* text, WORD defaultPort, C_String& host, WORD& port);

// Every step of the upload (connect, each send, each wait for the answer) gives up after this.
constexpr DWORD kReportTimeoutMs = 30000;
// The answer is not evaluated: reading more of it than this only costs memory and time.
constexpr uint64_t kReportAnswerLimit = 65536;

// Builds the form (fields a, p, s, v, g, e, x, then the files d and t) and posts it to the report path on port 80
// (or the host's own port) over plain HTTP. Nothing is sent when a text field cannot be added; a file that is
// missing only leaves its content out. The answer is not looked at: true when one came.
bool PostReport(const ReportUpload& upload);

// PostReport on a thread of its own, waited for limitMs at most: whatever the server does, the crashed process
// can end soon after the user pressed Send. False when the upload failed or was given up on; a thread given up
// on keeps a copy of what it sends and ends with the process.
bool PostReportWithin(const ReportUpload& upload, DWORD limitMs);
