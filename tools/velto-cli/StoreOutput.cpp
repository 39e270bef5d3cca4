#include "StoreOutput.h"

#include "Console.h"
#include "ExitStatus.h"
#include "terminal/export/StoreExport.h"

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
    options.AddNumber(L"--capacity", L"CELLS",
                      L"store capacity in cells (default " + std::to_wstring(C_LineStore::kDefaultCapacity) +
                          L", as the program's); beyond it the oldest lines are dropped",
                      values.capacity, int(C_LineStore::kMinimumCapacity), StoreOutputOptions::kMaxCapacity);
}

void C_ReceiveOptions::Apply(const StoreOutputOptions& values, C_LineStore& store, C_ReceiveAssembly& assembly) {
    if (uint32_t(values.capacity) != store.GetCapacity())
        store.SetCapacity(uint32_t(values.capacity));
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

C_StoreOutput::C_StoreOutput(const StoreOutputOptions& values, const std::wstring& commandName)
    : m_values(values), m_command(commandName) {}

C_StoreOutput::~C_StoreOutput() {
    if (m_created && !m_written) {
        m_file.Close();
        DeleteFileW(m_values.outputPath.c_str());
    }
}

bool C_StoreOutput::Prepare() {
    if (m_values.outputPath.empty())
        return true;
    // Opened without truncating: a capture that fails to connect leaves an existing file as it was.
    bool existed = GetFileAttributesW(m_values.outputPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!m_file.Open(m_values.outputPath.c_str(), C_File::MODE_WRITE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        Console::Error(L"velto-cli " + m_command + L": cannot create output file '" + m_values.outputPath + L"'");
        return false;
    }
    m_created = !existed;
    return true;
}

int C_StoreOutput::Write(C_LineStore& store) {
    return Write([&](C_ByteSink& sink) { return WriteTo(store, m_values, sink); });
}

int C_StoreOutput::Write(const std::function<bool(C_ByteSink& sink)>& writer) {
    bool written;
    if (m_values.outputPath.empty()) {
        C_StandardOutput out;
        written = writer(out);
    } else {
        // Now the file is replaced, as the program's Save command replaces it.
        if (!m_file.IsOpen() && !Prepare())
            return kExitUsage;
        m_written = true;
        C_FileSink sink(m_file);
        // A device such as NUL has no length to cut: only a file on a disk is emptied first.
        const bool replaced =
            GetFileType(m_file.GetHandle()) != FILE_TYPE_DISK || (m_file.Seek(0) && SetEndOfFile(m_file.GetHandle()));
        written = replaced && writer(sink);
    }
    if (!written) {
        Console::Error(L"velto-cli " + m_command + L": writing the output failed");
        return kExitWriteFailed;
    }
    return kExitSuccess;
}

void ReportDroppedLines(C_LineStore& store, const std::wstring& commandName) {
    C_LineStore::DropTotals dropped = store.GetDropTotals();
    if (!dropped.lines && !dropped.cells)
        return;
    std::wstring message = L"velto-cli " + commandName + L": the store holds at most " +
                           std::to_wstring(store.GetCapacity()) + L" cells: the first " +
                           std::to_wstring(dropped.lines) + L" lines were dropped";
    if (dropped.clears)
        message += L" (the store was cleared " + std::to_wstring(dropped.clears) + L" times as the last resort)";
    message += L", the output starts " + std::wstring(dropped.firstLineCut ? L"within" : L"at") + L" line " +
               std::to_wstring(dropped.lines + 1) + L" of the input";
    Console::Error(message);
}
