#include "StoreOutput.h"

#include "Console.h"
#include "ExitStatus.h"
#include "terminal/StoreExport.h"

void AddStoreOutputOptions(C_OptionTable& options, StoreOutputOptions& values) {
    options.AddFlag(L"--html", L"write the HTML export (colours as spans) instead of plain text", values.html);
    options.AddFlag(L"--visible", L"write the rows the terminal view would show instead of the export", values.visible);
    options.AddFlag(L"--utf8", L"write UTF-8 instead of the ANSI code page", values.utf8);
    options.AddNumber(L"--columns", L"N", L"wrap width in cells (default 80)", values.columns, 1,
                      StoreOutputOptions::kMaxColumns);
    options.AddText(L"-o", L"FILE", L"write to FILE instead of standard output", values.outputPath);
    options.AddText(L"--filter", L"TEXT", L"show only matching lines (as typed in the filter field: a,b,-c)",
                    values.filter);
    options.AddText(L"--time-format", L"PICTURE", L"stamp each line, e.g. \"dd.MM.yyyy HH:mm:ss:iii>\"",
                    values.timeFormat);
    options.AddFlag(L"--powerline", L"the terminal font has the powerline glyphs (stamps end in an arrow)",
                    values.powerline);
}

void C_ReceiveOptions::Apply(const StoreOutputOptions& values, C_LineStore& store, C_ReceiveAssembly& assembly) {
    store.SetWrapWidth(values.columns);
    store.SetFilter(&m_filter);
    if (!values.filter.empty()) {
        m_filter.SetText(values.filter.c_str());
        ApplyFilter(store, m_filter);
    }
    m_stamps.SetPicture(values.timeFormat.c_str());
    m_stamps.SetPowerLineGlyphsAvailable(values.powerline);
    assembly.SetTimeStamps(&m_stamps);
}

std::wstring CheckStoreOutputOptions(const StoreOutputOptions& values) {
    if (values.html && values.visible)
        return L"--html and --visible cannot be combined";
    return L"";
}

namespace {

bool WriteTo(C_LineStore& store, const StoreOutputOptions& values, C_ByteSink& sink) {
    UINT codePage = values.utf8 ? CP_UTF8 : CP_ACP;
    if (values.visible)
        return StoreExport::WriteVisibleRows(store, codePage, sink);
    return StoreExport::Write(store, values.html, codePage, sink);
}

} // namespace

int WriteStoreOutput(C_LineStore& store, const StoreOutputOptions& values, const std::wstring& commandName) {
    bool written;
    if (values.outputPath.empty()) {
        C_StandardOutput out;
        written = WriteTo(store, values, out);
    } else {
        // The same open as the program's Save command: created or truncated, shared for reading and writing.
        C_File file;
        if (!file.Open(values.outputPath.c_str(), C_File::MODE_WRITE_CREATE, FILE_ATTRIBUTE_NORMAL,
                       FILE_SHARE_READ | FILE_SHARE_WRITE)) {
            Console::Error(L"velto-cli " + commandName + L": cannot create output file '" + values.outputPath + L"'");
            return kExitUsage;
        }
        C_FileSink sink(file);
        written = WriteTo(store, values, sink);
    }
    if (!written) {
        Console::Error(L"velto-cli " + commandName + L": writing the output failed");
        return kExitWriteFailed;
    }
    return kExitSuccess;
}
