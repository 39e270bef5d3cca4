#include "platform/formats/XmlDocument.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Text(const C_XmlText& text) {
    return std::wstring(text.c_str(), text.GetLength());
}

std::wstring ReadOrMissing(const C_XmlDocument& document, const wchar_t* path, const C_XmlNode* from = nullptr) {
    C_XmlText text;
    return document.ReadText(path, text, from) ? Text(text) : L"<missing>";
}

std::wstring Encoded(const wchar_t* name) {
    BSTR encoded = EncodeXmlName(name, uint32_t(wcslen(name)));
    std::wstring result(encoded, SysStringLen(encoded));
    SysFreeString(encoded);
    return result;
}

const wchar_t* const kUpdateAnswer =
    L"<?xml version=\"1.0\"?>\n"
    L"<update>\n"
    L"  <application>Velto</application>\n"
    L"  <version>1.40</version>\n"
    L"  <info><de>Jetzt aktualisieren?</de><en>Update now?</en></info>\n"
    L"  <files>\n"
    L"    <url name=\"velto.exe\">https://example.invalid/velto.exe</url>\n"
    L"    <note>not a file</note>\n"
    L"    <URL name=\"velto.chm\" zip=\"help.zip\">https://example.invalid/help.zip</URL>\n"
    L"    <url>https://example.invalid/setup.exe</url>\n"
    L"  </files>\n"
    L"</update>\n";

} // namespace

TEST(XmlDocument, ReadsTextByPathFromTheDocumentIgnoringCase) {
    C_XmlDocument document;
    ASSERT_TRUE(document.LoadText(kUpdateAnswer));
    EXPECT_EQ(ReadOrMissing(document, L"update\\version"), L"1.40");
    EXPECT_EQ(ReadOrMissing(document, L"Update\\INFO\\de"), L"Jetzt aktualisieren?");
    EXPECT_EQ(ReadOrMissing(document, L"\\update\\\\info\\en\\"), L"Update now?");
    EXPECT_EQ(ReadOrMissing(document, L"update\\info\\fr"), L"<missing>");
    EXPECT_EQ(ReadOrMissing(document, L"update\\help"), L"<missing>");

    // Paths may also start from a node found earlier.
    C_XmlNode info = document.FindElement(L"update\\info");
    ASSERT_TRUE(info);
    EXPECT_EQ(ReadOrMissing(document, L"en", &info), L"Update now?");
    C_XmlNode root = document.GetDocumentElement();
    EXPECT_EQ(ReadOrMissing(document, L"application", &root), L"Velto");
}

TEST(XmlDocument, WalksChildElementsWithNameTextAndAttributesAndStopsOnRequest) {
    C_XmlDocument document;
    ASSERT_TRUE(document.LoadText(kUpdateAnswer));
    struct Seen {
        std::wstring name, text, fileName, zip;
    };
    std::vector<Seen> seen;
    auto collect = [&](const wchar_t* name, const wchar_t* text, const C_XmlNode& node) {
        C_XmlText fileName, zip;
        node.GetAttribute(L"name", fileName);
        node.GetAttribute(L"zip", zip);
        seen.push_back({name, text, Text(fileName), Text(zip)});
        return 0;
    };
    ASSERT_TRUE(document.ForEachChild(L"update\\files", collect));
    ASSERT_EQ(seen.size(), 4u); // elements only: the white space between them is not visited
    EXPECT_EQ(seen[0].name, L"url");
    EXPECT_EQ(seen[0].text, L"https://example.invalid/velto.exe");
    EXPECT_EQ(seen[0].fileName, L"velto.exe");
    EXPECT_EQ(seen[0].zip, L"");
    EXPECT_EQ(seen[2].name, L"URL");
    EXPECT_EQ(seen[2].zip, L"help.zip");
    EXPECT_EQ(seen[3].fileName, L"");

    int visits = 0;
    auto stopAtSecond = [&](const wchar_t*, const wchar_t*, const C_XmlNode&) { return ++visits == 2 ? 1 : 0; };
    EXPECT_TRUE(document.ForEachChild(L"update\\files", stopAtSecond));
    EXPECT_EQ(visits, 2);

    auto never = [](const wchar_t*, const wchar_t*, const C_XmlNode&) { return 0; };
    EXPECT_FALSE(document.ForEachChild(L"update\\missing", never));
}

TEST(XmlDocument, RefusesMalformedTextAndDocumentTypes) {
    C_XmlDocument document;
    EXPECT_FALSE(document.LoadText(L"<update><version>1.40</update>"));
    EXPECT_FALSE(document.IsLoaded());
    EXPECT_FALSE(document.LoadText(L""));
    EXPECT_EQ(ReadOrMissing(document, L"update\\version"), L"<missing>");

    // Text from the network must not define entities (expansion bombs) or pull in anything external. Windows'
    // parser stops at the document type; Wine's ignores ProhibitDTD, and the check after loading refuses it.
    EXPECT_FALSE(document.LoadText(L"<!DOCTYPE a [<!ENTITY e \"boom\">]><a>&e;</a>"));
    EXPECT_FALSE(document.LoadText(L"<!DOCTYPE a SYSTEM \"file:///C:/windows/win.ini\"><a/>"));

    // A failed load leaves a usable object behind.
    EXPECT_TRUE(document.LoadText(L"<a><b>1</b></a>"));
    EXPECT_EQ(ReadOrMissing(document, L"a\\b"), L"1");
}

TEST(XmlDocument, LoadsBytesInTheEncodingTheyDeclare) {
    C_XmlDocument document;
    std::string utf8 = "\xEF\xBB\xBF<a><b>gr\xC3\xBC\xC3\x9F</b></a>";
    ASSERT_TRUE(document.LoadBytes(utf8.data(), uint32_t(utf8.size())));
    EXPECT_EQ(ReadOrMissing(document, L"a\\b"), L"gr\u00FC\u00DF");

    std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a><b>gr\xFC\xDF</b></a>";
    ASSERT_TRUE(document.LoadBytes(latin1.data(), uint32_t(latin1.size())));
    EXPECT_EQ(ReadOrMissing(document, L"a\\b"), L"gr\u00FC\u00DF");

    const wchar_t utf16[] = L"\xFEFF<a><b>\x280B</b></a>";
    ASSERT_TRUE(document.LoadBytes(utf16, sizeof utf16 - sizeof(wchar_t)));
    EXPECT_EQ(ReadOrMissing(document, L"a\\b"), L"\x280B");
}

TEST(XmlDocument, CreatesElementsWritesTextAndSurvivesSaveAndLoad) {
    TempFolder folder;
    std::wstring path = folder.Path(L"doc#1%20.xml"); // characters that mean something in an address
    {
        C_XmlDocument document;
        ASSERT_TRUE(document.Create(L"Settings"));
        C_XmlNode root = document.GetDocumentElement();
        C_XmlNode value = document.FindOrCreateElement(L"Software\\Velto\\Filter", &root);
        ASSERT_TRUE(value);
        ASSERT_TRUE(document.WriteText(value, L"  error,\"a<b>&c\"  "));
        // Finding again returns the same element instead of adding a second one.
        C_XmlNode again = document.FindOrCreateElement(L"software\\velto\\filter", &root);
        ASSERT_TRUE(document.WriteText(again, L"  error,\"a<b>&c\"  "));
        C_XmlNode tag = document.FindOrCreateElement(L"Software\\Velto\\Tags\\tcp://10.0.0.1:23", &root);
        ASSERT_TRUE(document.WriteText(tag, L"Lab \x2192 bench"));
        ASSERT_TRUE(document.Save(path.c_str()));
    }
    std::string bytes = ReadFileBytes(path);
    EXPECT_NE(bytes.find("<Settings><Software><Velto><Filter>"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("<Filter>", bytes.find("</Filter>")), std::string::npos) << "duplicate element";
    EXPECT_NE(bytes.find("tcp_x003A__x002F__x002F_10.0.0.1_x003A_23"), std::string::npos) << bytes;
    EXPECT_EQ(GetFileAttributesW((path + L".new").c_str()), INVALID_FILE_ATTRIBUTES);

    C_XmlDocument loaded;
    ASSERT_TRUE(loaded.LoadFile(path.c_str()));
    EXPECT_EQ(ReadOrMissing(loaded, L"Settings\\Software\\Velto\\Filter"), L"  error,\"a<b>&c\"  ");
    EXPECT_EQ(ReadOrMissing(loaded, L"Settings\\Software\\Velto\\Tags\\tcp://10.0.0.1:23"), L"Lab \x2192 bench");
}

TEST(XmlDocument, WritingTextKeepsChildElements) {
    C_XmlDocument document;
    ASSERT_TRUE(document.LoadText(L"<a><Tags>old<COM3>Lab</COM3></Tags></a>"));
    C_XmlNode tags = document.FindElement(L"a\\Tags");
    ASSERT_TRUE(document.WriteText(tags, L"new"));
    EXPECT_EQ(ReadOrMissing(document, L"a\\Tags"), L"new");
    EXPECT_EQ(ReadOrMissing(document, L"a\\Tags\\COM3"), L"Lab");
    ASSERT_TRUE(document.WriteText(tags, L""));
    EXPECT_EQ(ReadOrMissing(document, L"a\\Tags"), L"");
    EXPECT_EQ(ReadOrMissing(document, L"a\\Tags\\COM3"), L"Lab");
}

// The parser writes such characters as they are and then cannot read its own file back: one bad value would
// cost every other value in it. They are refused when written instead.
TEST(XmlDocument, TextThatXmlCannotCarryIsRefusedSoTheFileStaysLoadable) {
    TempFolder folder;
    std::wstring path = folder.Path(L"control.xml");
    C_XmlDocument document;
    ASSERT_TRUE(document.Create(L"S"));
    C_XmlNode root = document.GetDocumentElement();
    C_XmlNode value = document.FindOrCreateElement(L"V", &root);
    ASSERT_TRUE(document.WriteText(value, L"kept"));
    EXPECT_FALSE(document.WriteText(value, L"one\x0001two"));
    EXPECT_FALSE(document.WriteText(value, L"\xFFFF"));
    EXPECT_FALSE(document.WriteText(value, L"lone \xD800 surrogate"));
    EXPECT_EQ(ReadOrMissing(document, L"S\\V"), L"kept") << "a refused text leaves the old one";
    ASSERT_TRUE(document.WriteText(value, L"tab\tline\nand \xD83D\xDE00"));
    ASSERT_TRUE(document.Save(path.c_str()));

    C_XmlDocument loaded;
    ASSERT_TRUE(loaded.LoadFile(path.c_str()));
    EXPECT_EQ(ReadOrMissing(loaded, L"S\\V"), L"tab\tline\nand \xD83D\xDE00");
}

TEST(XmlDocument, FileLoadAndSaveFailures) {
    TempFolder folder;
    C_XmlDocument document;
    EXPECT_FALSE(document.LoadFile(folder.Path(L"missing.xml").c_str()));
    std::wstring broken = folder.Path(L"broken.xml");
    WriteFileBytes(broken, "<a><b></a>");
    EXPECT_FALSE(document.LoadFile(broken.c_str()));
    EXPECT_FALSE(document.Save(folder.Path(L"out.xml").c_str())) << "nothing loaded";

    ASSERT_TRUE(document.Create(L"Settings"));
    EXPECT_FALSE(document.Save(folder.Path(L"no such folder\\out.xml").c_str()));
    EXPECT_EQ(ReadFileBytes(broken), "<a><b></a>");
}

TEST(XmlDocument, NamesThatAreNotXmlNamesAreEscaped) {
    EXPECT_EQ(Encoded(L"COM3"), L"COM3");
    EXPECT_EQ(Encoded(L"Last_Check-2.x"), L"Last_Check-2.x");
    EXPECT_EQ(Encoded(L"3com"), L"_x0033_com");
    EXPECT_EQ(Encoded(L"a b"), L"a_x0020_b");
    EXPECT_EQ(Encoded(L"tcp://h:1"), L"tcp_x003A__x002F__x002F_h_x003A_1");
    EXPECT_EQ(Encoded(L"\x00FC"), L"_x00FC_");
    // Text that looks like an escape keeps its own meaning.
    EXPECT_EQ(Encoded(L"_x0041_"), L"_x005F_x0041_");
    EXPECT_EQ(Encoded(L"_x41_"), L"_x41_");
}
