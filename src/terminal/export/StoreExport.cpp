#include "terminal/export/StoreExport.h"

#include "foundation/base/DynamicBuffer.h"

#include <cwchar>

namespace {

constexpr uint32_t kFlushThreshold = 64 * 1024; // bytes collected before one write
constexpr Attribute kNoAttribute = 0xFFFFFFFF;  // never stored: the background half has no link flag
constexpr wchar_t kStylesheetLink[] =
    L"    <link rel=\"stylesheet\" href=\"https://cdn.jsdelivr.net/npm/@fontsource/cascadia-code@4.2.1/index.css\">";

const wchar_t* const kHtmlHeader[] = {
    L"<!DOCTYPE html>",
    L"<html>",
    L"  <head>",
    L"    <title>Log</title>",
    L"    <style>",
    L"      body",
    L"      {",
    L"        font-family: 'Cascadia Code',Consolas,Courier;",
    L"        color: #%06X;",            // the page's foreground
    L"        background-color: #%06X;", // the page's background
    L"        white-space: pre;",
    L"      }",
    L"    </style>",
    kStylesheetLink,
    L"  </head>",
    L"  <body>",
};
constexpr size_t kBackgroundLine = 9;
constexpr wchar_t kHtmlFooter[] = L"  </body></html>";
constexpr wchar_t kSpanClose[] = L"</span>";
constexpr wchar_t kSpanOpen[] = L"<span style=\"color: #%06X; background-color: #%06X\">";
constexpr wchar_t kReferenceFormat[] = L"&#x%X;";
constexpr wchar_t kFirstPrintable = 0x20;
constexpr wchar_t kLastPrintable = 0x7E;
constexpr uint32_t kFirstSupplementary = 0x10000;
constexpr uint32_t kHighSurrogateBase = 0xD800;
constexpr uint32_t kLowSurrogateBase = 0xDC00;
constexpr uint32_t kReplacementCharacter = 0xFFFD;

const wchar_t* EntityOf(wchar_t ch) {
    switch (ch) {
    case L'&':
        return L"&amp;";
    case L'<':
        return L"&lt;";
    case L'>':
        return L"&gt;";
    default:
        return nullptr;
    }
}

// Builds the output a line at a time in UTF-16, converts each line to the code page and hands the bytes
// to the sink in large writes. After the first failed write everything else is dropped.
class C_ExportWriter {
public:
    C_ExportWriter(UINT codePage, C_ByteSink& sink) : m_codePage(codePage), m_sink(sink) {}

    void Append(const wchar_t* text, uint32_t length) {
        if (m_failed)
            return;
        if (!m_line.Reserve(m_line.Count() + length)) {
            m_failed = true;
            return;
        }
        wmemcpy(m_line.Data() + m_line.Count(), text, length);
        m_line.SetCount(m_line.Count() + length);
    }
    void Append(const wchar_t* text) { Append(text, uint32_t(wcslen(text))); }
    // Received text in the HTML body: the three characters that markup gives a meaning to become entities, so
    // "<INFO>" from a device stays text and no peer can put live markup into the file, and everything outside
    // printable ASCII becomes a numeric reference, so the page is right whatever encoding a browser assumes.
    void AppendEscaped(const wchar_t* text, uint32_t length) {
        uint32_t run = 0;
        for (uint32_t i = 0; i < length; ++i) {
            const wchar_t* entity = EntityOf(text[i]);
            if (!entity && text[i] >= kFirstPrintable && text[i] <= kLastPrintable)
                continue;
            Append(text + run, i - run);
            if (entity)
                Append(entity);
            else
                i += AppendReference(text + i, length - i) - 1;
            run = i + 1;
        }
        Append(text + run, length - run);
    }
    // One character as &#x...; a surrogate pair is one character, a lone surrogate none (U+FFFD). The units used.
    uint32_t AppendReference(const wchar_t* text, uint32_t available) {
        uint32_t code = text[0];
        uint32_t used = 1;
        if (IS_HIGH_SURROGATE(text[0]) && available > 1 && IS_LOW_SURROGATE(text[1])) {
            code = kFirstSupplementary + ((code - kHighSurrogateBase) << 10) + (text[1] - kLowSurrogateBase);
            used = 2;
        } else if (IS_HIGH_SURROGATE(text[0]) || IS_LOW_SURROGATE(text[0])) {
            code = kReplacementCharacter;
        }
        wchar_t reference[16];
        const int length = _snwprintf(reference, 16, kReferenceFormat, code);
        if (length > 0)
            Append(reference, uint32_t(length));
        return used;
    }
    void AppendFormat(const wchar_t* format, Rgb first, Rgb second = 0) {
        wchar_t text[256];
        int length = _snwprintf(text, 256, format, unsigned(first), unsigned(second));
        if (length > 0)
            Append(text, uint32_t(length));
    }
    void EndLine() {
        Append(L"\r\n", 2);
        ConvertLine();
    }
    bool Finish() {
        ConvertLine();
        WritePending();
        return !m_failed;
    }

private:
    void ConvertLine() {
        uint32_t units = m_line.Count();
        if (!units || m_failed)
            return;
        // A UTF-16 unit never takes more than three bytes in any code page.
        uint64_t room = uint64_t(units) * 3;
        if (!m_bytes.Reserve(uint32_t(m_bytes.Count() + room))) {
            m_failed = true;
            return;
        }
        int written = WideCharToMultiByte(m_codePage, 0, m_line.Data(), int(units), m_bytes.Data() + m_bytes.Count(),
                                          int(room), nullptr, nullptr);
        if (written <= 0)
            m_failed = true;
        else
            m_bytes.SetCount(m_bytes.Count() + uint32_t(written));
        m_line.SetCount(0);
        if (m_bytes.Count() >= kFlushThreshold)
            WritePending();
    }
    void WritePending() {
        if (!m_failed && m_bytes.Count() && !m_sink.Write(m_bytes.Data(), m_bytes.Count()))
            m_failed = true;
        m_bytes.SetCount(0);
    }

    UINT m_codePage;
    C_ByteSink& m_sink;
    C_DynamicBuffer<wchar_t> m_line;
    C_DynamicBuffer<char> m_bytes;
    bool m_failed = false;
};

void WriteHtmlLine(C_ExportWriter& out, const wchar_t* cells, const Attribute* attributes, uint32_t length,
                   Attribute& previous) {
    uint32_t run = 0; // characters since the last span change, written as one piece
    for (uint32_t i = 0; i < length; ++i) {
        if (attributes[i] == previous)
            continue;
        out.AppendEscaped(cells + run, i - run);
        run = i;
        if (previous != kNoAttribute)
            out.Append(kSpanClose);
        previous = attributes[i];
        out.AppendFormat(kSpanOpen, Colour::ForegroundOf(previous), Colour::BackgroundOf(previous));
    }
    out.AppendEscaped(cells + run, length - run);
}

} // namespace

bool StoreExport::Write(C_LineStore& store, bool asHtml, UINT codePage, C_ByteSink& sink) {
    C_ExportWriter out(codePage, sink);
    if (asHtml) {
        for (const wchar_t* line : kHtmlHeader) {
            if (line == kHtmlHeader[kBackgroundLine])
                out.AppendFormat(line, kPageBackground);
            else
                out.AppendFormat(line, kPageForeground);
            out.EndLine();
        }
    }
    Attribute previous = kNoAttribute;
    {
        C_Lock lock(store.Lock());
        const wchar_t* cells = store.Cells();
        const Attribute* attributes = store.Attributes();
        for (uint32_t line = 0; line < store.LineCount(); ++line) {
            uint32_t start = store.LineStart(line);
            uint32_t length = store.LineLength(line) - 1;
            if (asHtml)
                WriteHtmlLine(out, cells + start, attributes + start, length, previous);
            else
                out.Append(cells + start, length);
            out.EndLine();
        }
    }
    if (asHtml) {
        if (previous != kNoAttribute)
            out.Append(kSpanClose);
        out.Append(kHtmlFooter);
    }
    return out.Finish();
}

bool StoreExport::WriteVisibleRows(C_LineStore& store, UINT codePage, C_ByteSink& sink) {
    C_ExportWriter out(codePage, sink);
    {
        C_Lock lock(store.Lock());
        bool segments = store.IsFilterActive();
        uint32_t rows = segments ? store.SegmentCount() : store.RowCount();
        for (uint32_t row = 0; row < rows; ++row) {
            uint32_t start = segments ? store.GetSegment(row).start : store.RowStart(row);
            uint32_t count = segments ? store.GetSegment(row).count : store.RowEnd(row) - start;
            if (count == 0)
                continue; // the open segment: where the next text will begin
            uint32_t last = start + count - 1;
            uint32_t line = store.LineOfCell(last);
            if (last == store.LineStart(line) + store.LineLength(line) - 1)
                --count;
            out.Append(store.Cells() + start, count);
            out.EndLine();
        }
    }
    return out.Finish();
}

int StoreExport::WriteFile(C_LineStore& store, const wchar_t* path, bool asHtml, TextFileEncoding encoding) {
    C_File file;
    if (!file.Open(path, C_File::MODE_WRITE_CREATE, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return 0;
    // The page is ASCII whatever the choice: its characters are references.
    if (!asHtml && encoding == TextFileEncoding::Utf8WithBom &&
        !file.Write(TextEncoding::kUtf8BomLength, TextEncoding::kUtf8Bom))
        return 0;
    C_FileSink sink(file);
    return Write(store, asHtml, TextEncoding::CodePageOf(encoding), sink) ? 1 : 0;
}
