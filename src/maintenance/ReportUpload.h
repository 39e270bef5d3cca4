#pragma once
// The problem report's form: a few facts, what the user entered, and the two crash files, posted to the report
// service.
#include <windows.h>

struct ReportUpload {
    const wchar_t* host; // may end in ":port"
    const wchar_t* path;
    const wchar_t* productName;
    const wchar_t* extra;
    const wchar_t* email;
    const wchar_t* description;
    const wchar_t* dumpPath; // null when there is no dump
    const wchar_t* textPath;
};

// Builds the form (fields a, p, s, v, g, e, x, then the files d and t) and posts it. Nothing is sent when a
// text field cannot be added; a missing file only leaves its part out.
bool PostReport(const ReportUpload& upload);
