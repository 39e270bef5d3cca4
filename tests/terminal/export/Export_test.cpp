// The text and HTML exports, and the visible rows.
#include "terminal/TerminalHarness.h"

#include "support/FailingAllocator.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "terminal/export/StoreExport.h"

#include <gtest/gtest.h>

namespace {

class MemorySink final : public C_ByteSink {
public:
    bool Write(const void* data, uint32_t size) override {
        if (failAfter >= 0 && writes++ >= failAfter)
            return false;
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string bytes;
    int failAfter = -1;
    int writes = 0;
};

std::string Export(TerminalHarness& t, bool html, UINT codePage = 1252) {
    MemorySink sink;
    EXPECT_TRUE(StoreExport::Write(t.store, html, codePage, sink));
    return sink.bytes;
}

const std::string kHeader = "<!DOCTYPE html>\r\n<html>\r\n  <head>\r\n    <title>Log</title>\r\n    <style>\r\n"
                            "      body\r\n      {\r\n        font-family: 'Cascadia Code',Consolas,Courier;\r\n"
                            "        color: #D8E0E8;\r\n        background-color: #001020;\r\n"
                            "        white-space: pre;\r\n      }\r\n    </style>\r\n";
const std::string kHeaderEnd = "  </head>\r\n  <body>\r\n";
const std::string kFooter = "  </body></html>";

// The HTML body: what follows the header.
std::string Body(const std::string& html) {
    size_t at = html.find(kHeaderEnd);
    return at == std::string::npos ? "" : html.substr(at + kHeaderEnd.size());
}

std::string Span(const char* fg, const char* bg) {
    return std::string("<span style=\"color: #") + fg + "; background-color: #" + bg + "\">";
}

} // namespace

TEST(ExportText, LinesEndWithCrLfIncludingTheLastOne) {
    TerminalHarness t;
    EXPECT_EQ(Export(t, false), "\r\n"); // a cleared store is one empty line
    t.Receive("ab\n\x1b[31mc\xe9");
    EXPECT_EQ(Export(t, false), "ab\r\nc\xe9\r\n");
}

TEST(ExportText, CharactersWithoutMappingBecomeTheDefaultCharacter) {
    TerminalHarness t;
    t.Receive("\xd0\x96 \xc3\xa9");
    EXPECT_EQ(Export(t, false, 1252), "? \xe9\r\n");
    EXPECT_EQ(Export(t, false, CP_UTF8), "\xd0\x96 \xc3\xa9\r\n");
}

TEST(ExportHtml, ClearedStoreGivesHeaderOneLineAndFooterWithoutSpan) {
    TerminalHarness t;
    std::string html = Export(t, true);
    EXPECT_EQ(html.substr(0, kHeader.size()), kHeader);
    EXPECT_NE(html.find("<link rel=\"stylesheet\""), std::string::npos);
    EXPECT_EQ(Body(html), "\r\n" + kFooter);
}

TEST(ExportHtml, SpansChangeWithColoursAndContinueAcrossLines) {
    TerminalHarness t;
    t.Receive("ab\x1b[31mc\nd\x1b[44me");
    std::string expected = Span("D8E0E8", "001020") + "ab</span>" + Span("E01028", "001020") + "c\r\n" + "d</span>" +
                           Span("D8E0E8", "0030D8") + "e\r\n</span>" + kFooter;
    EXPECT_EQ(Body(Export(t, true)), expected);
}

// Received text stays text in a browser: markup characters become entities, in every span and across span
// changes; the plain-text export keeps them as they are.
TEST(ExportHtml, MarkupCharactersInReceivedTextBecomeEntities) {
    TerminalHarness t;
    t.Receive("<INFO> a<b && c>d\x1b[31m<script>&amp;\x1b[0m>");
    std::string span = Span("D8E0E8", "001020");
    EXPECT_EQ(Body(Export(t, true)), span + "&lt;INFO&gt; a&lt;b &amp;&amp; c&gt;d</span>" + Span("E01028", "001020") +
                                         "&lt;script&gt;&amp;amp;</span>" + span + "&gt;\r\n</span>" + kFooter);
    EXPECT_EQ(Export(t, false), "<INFO> a<b && c>d<script>&amp;>\r\n");
}

// Cyrillic, Greek, CJK, an emoji beyond the first plane (a surrogate pair in the store) and braille, as a device
// sends them in UTF-8.
const char kScripts[] = "\xd0\x9f\xd1\x80 \xce\x9a\xce\xb1 \xe4\xb8\xad \xf0\x9f\x98\x80 \xe2\xa0\x8b";
const char kScriptsUtf8File[] = "\xef\xbb\xbf\xd0\x9f\xd1\x80 \xce\x9a\xce\xb1 \xe4\xb8\xad \xf0\x9f\x98\x80 "
                                "\xe2\xa0\x8b\r\n";

// The page is ASCII, so it is right whatever encoding a browser assumes: every other character is a reference.
TEST(ExportHtml, EveryCharacterOutsidePrintableAsciiIsANumericReference) {
    struct Case {
        const char* name;
        std::string received;
        std::string body;
    } cases[] = {
        {"scripts", kScripts, "&#x41F;&#x440; &#x39A;&#x3B1; &#x4E2D; &#x1F600; &#x280B;"},
        {"controls kept as text", "a\tb\x7f~", "a&#x9;b&#x7F;~"},
        {"Latin-1 bytes that are not UTF-8", "caf\xe9", "caf&#xE9;"},
    };
    for (const Case& c : cases) {
        TerminalHarness t;
        t.Receive(c.received);
        EXPECT_EQ(Body(Export(t, true)), Span("D8E0E8", "001020") + c.body + "\r\n</span>" + kFooter) << c.name;
    }
    TerminalHarness lone;
    lone.store.AppendText(L"a\xD83D"
                          L"b",
                          3);
    EXPECT_EQ(Body(Export(lone, true)), Span("D8E0E8", "001020") + "a&#xFFFD;b\r\n</span>" + kFooter)
        << "half a pair is no character";
}

TEST(ExportFile, TextIsUtf8BehindAByteOrderMarkOrTheAnsiCodePageAsChosenAndHtmlTheSameEither) {
    TerminalHarness t;
    t.Receive(kScripts);
    TempFolder folder;
    const std::wstring text = folder.Path(L"saved.txt"), page = folder.Path(L"saved.html");
    ASSERT_EQ(StoreExport::WriteFile(t.store, text.c_str(), false, TextFileEncoding::Utf8WithBom), 1);
    EXPECT_EQ(ReadFileBytes(text), kScriptsUtf8File);
    TerminalHarness latin;
    latin.Receive("caf\xc3\xa9 \xd0\x9f");
    ASSERT_EQ(StoreExport::WriteFile(latin.store, text.c_str(), false, TextFileEncoding::AnsiCodePage), 1);
    EXPECT_EQ(ReadFileBytes(text), "caf\xe9 ?\r\n") << "the code page (1252 here), without a mark";
    ASSERT_EQ(StoreExport::WriteFile(t.store, page.c_str(), true, TextFileEncoding::Utf8WithBom), 1);
    const std::string utf8Page = ReadFileBytes(page);
    ASSERT_EQ(StoreExport::WriteFile(t.store, page.c_str(), true, TextFileEncoding::AnsiCodePage), 1);
    EXPECT_EQ(ReadFileBytes(page), utf8Page);
    EXPECT_EQ(utf8Page.substr(0, 15), "<!DOCTYPE html>") << "no byte-order mark in front of the page";
}

TEST(ExportHtml, LinkFlagCountsAsAnAttributeChange) {
    TerminalHarness t;
    t.Receive("x http://a.b y");
    std::string span = Span("D8E0E8", "001020");
    EXPECT_EQ(Body(Export(t, true)),
              span + "x </span>" + span + "http://a.b</span>" + span + " y\r\n</span>" + kFooter);
}

TEST(ExportText, FailedWriteIsReported) {
    TerminalHarness t;
    for (int i = 0; i < 5000; ++i)
        t.Receive("a line of text long enough to need several writes of sixty-four kilobytes\n");
    MemorySink sink;
    sink.failAfter = 1;
    EXPECT_FALSE(StoreExport::Write(t.store, false, 1252, sink));
    EXPECT_EQ(sink.writes, 2);
}

TEST(ExportFile, WritesTheFileAndFailsWithoutOne) {
    TerminalHarness t;
    t.Receive("one\ntwo");
    wchar_t folder[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    std::wstring path = std::wstring(folder) + L"velto_export_test.txt";
    ASSERT_EQ(StoreExport::WriteFile(t.store, path.c_str(), false), 1);
    C_File file;
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_READ), 1);
    char content[64] = {};
    DWORD read = 0;
    ASSERT_EQ(file.Read(sizeof(content), content, &read), 1);
    EXPECT_EQ(std::string(content, read), "one\r\ntwo\r\n");
    file.Close();
    DeleteFileW(path.c_str());
    EXPECT_EQ(StoreExport::WriteFile(t.store, L"Z:\\no\\such\\folder\\x.txt", false), 0);
}

TEST(VisibleRows, RowsWithoutEndMarkersOrSegmentsWhileFiltering) {
    TerminalHarness t;
    t.store.SetWrapWidth(4);
    t.Receive("abcdefg\nhi\n\x01x");
    MemorySink rows;
    ASSERT_TRUE(StoreExport::WriteVisibleRows(t.store, 1252, rows));
    EXPECT_EQ(rows.bytes, "abcd\r\nefg\r\nhi\r\n\x01x\r\n"); // a received 0x01 is text, not a marker
    ContainsFilter filter;
    filter.needle = L"h";
    t.store.SetFilter(&filter);
    t.store.SetFilterActive(true);
    MemorySink visible;
    ASSERT_TRUE(StoreExport::WriteVisibleRows(t.store, 1252, visible));
    EXPECT_EQ(visible.bytes, "hi\r\n");
}
