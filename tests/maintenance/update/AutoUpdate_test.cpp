// The update check against the loopback server, with a recording host in place of the message boxes, the
// program launcher and the running program's version, and a temporary folder in place of the program's.
#include "maintenance/update/AutoUpdate.h"
#include "maintenance/service/MachineId.h"
#include "maintenance/service/UpdateAddress.h"
#include "platform/system/Handles.h"

#include "maintenance/LoopbackHttp.h"
#include "foundation/settings/SettingsTestKey.h"
#include "support/FileBytes.h"
#include "support/FolderSnapshot.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr DWORD kGenerousWait = 60000;
constexpr uint64_t kNow = 1700000000;
constexpr uint64_t kDay = 86400;
const std::string kUpdatePath = "/common/update.php";

struct Question {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class RecordingHost : public C_UpdateHost {
public:
    int Ask(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) override {
        questions.push_back({text, caption, type});
        if (pressHelp)
            SendMessageW(owner, WM_HELP, 0, 0);
        const size_t index = questions.size() - 1;
        return index < answers.size() ? answers[index] : IDNO;
    }
    bool OpenAddress(const wchar_t* address) override {
        opened.push_back(address);
        return true;
    }
    bool StartProgram(const wchar_t* file, const wchar_t* folder) override {
        started.push_back(file);
        startedIn = folder;
        return true;
    }
    bool IsPackaged() override { return packaged; }
    bool GetProgramPath(C_String& out) override { return out.Assign(programPath.c_str()); }
    bool GetProgramVersion(C_String& out) override { return out.Assign(version.c_str()); }
    bool GetDesktopFolder(C_String& out) override { return out.Assign(desktop.c_str()); }
    bool CanChangeFolder(const wchar_t*) override { return folderChangeable; }
    void GetLanguage(C_String& out) override {
        PauseAt(PAUSE_AFTER_ANSWER);
        out.Assign(language.c_str());
    }
    bool GetMachineId(C_String& out) override {
        PauseAt(PAUSE_BEFORE_QUERY);
        return out.Assign(L"1610-0004-0000-00E9");
    }
    uint64_t Now() override { return kNow; }

    std::vector<int> answers;
    bool pressHelp = false;
    bool packaged = false;
    bool folderChangeable = true;
    std::wstring version = L"1.37";
    std::wstring language = L"en";
    std::wstring programPath;
    std::wstring desktop;
    std::vector<Question> questions;
    std::vector<std::wstring> opened;
    std::vector<std::wstring> started;
    std::wstring startedIn;
    // Where the worker stops to signal paused and wait for proceed, when they are set.
    enum PausePoint { PAUSE_BEFORE_QUERY, PAUSE_AFTER_ANSWER } pauseAt = PAUSE_BEFORE_QUERY;
    HANDLE paused = nullptr;
    HANDLE proceed = nullptr;

private:
    void PauseAt(PausePoint point) {
        if (paused && point == pauseAt) {
            SetEvent(paused);
            WaitForSingleObject(proceed, kGenerousWait);
        }
    }
};

// The main window's stand-in: it leaves a posted close in its queue for the test to find, and sets the event a
// kRelease message carries.
class TestWindow {
public:
    static constexpr UINT kRelease = WM_APP + 9;

    TestWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VeltoUpdateTestWindow";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, windowClass.lpszClassName, L"Velto - Serial Terminal [1.37]", 0, 0, 0, 0, 0,
                                   HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    }
    ~TestWindow() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }
    bool CloseWasPosted() {
        MSG message;
        return PeekMessageW(&message, m_window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kRelease)
            SetEvent(reinterpret_cast<HANDLE>(lParam));
        return message == WM_CLOSE ? 0 : DefWindowProcW(window, message, wParam, lParam);
    }
    HWND m_window = nullptr;
};

struct FileElement {
    std::string url;
    std::string name; // empty: no attribute
    std::string zip;
};

struct Offer {
    std::string version = "1.40";
    std::vector<std::pair<std::string, std::string>> info = {{"en", "Velto 1.40 is out. Update now?"}};
    std::string restart = "Restart now?";
    std::string help;
    std::string application = "Velto";
    std::vector<FileElement> files;
    std::string execute;
};

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

std::string UpdateXml(const Offer& offer, const char* declaration = kDeclaration) {
    std::string xml = std::string(declaration) + "<update>";
    if (!offer.application.empty())
        xml += "<application>" + offer.application + "</application>";
    xml += "<info>";
    for (const auto& text : offer.info)
        xml += "<" + text.first + ">" + text.second + "</" + text.first + ">";
    xml += "</info><version>" + offer.version + "</version>";
    if (!offer.help.empty())
        xml += "<help>" + offer.help + "</help>";
    xml += "<restart><en>" + offer.restart + "</en></restart><files>";
    for (const FileElement& file : offer.files) {
        xml += "<url";
        if (!file.name.empty())
            xml += " name=\"" + file.name + "\"";
        if (!file.zip.empty())
            xml += " zip=\"" + file.zip + "\"";
        xml += ">" + file.url + "</url>";
    }
    if (!offer.execute.empty())
        xml += "<execute>" + offer.execute + "</execute>";
    return xml + "</files></update>";
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// A real program of version 1.40, built beside the tests, for the check to take as the new velto.exe.
const std::string& SampleProgram() {
    static const std::string s_bytes = ReadFileBytes(BesideTestProgram(L"velto_sample_program.exe"));
    return s_bytes;
}

// The sample with its header saying it is for another processor.
std::string ForAnotherMachine(std::string program) {
    const uint32_t headers = *reinterpret_cast<const uint32_t*>(program.data() + 0x3C);
    const uint16_t amd64 = IMAGE_FILE_MACHINE_AMD64;
    program.replace(headers + 4, 2, reinterpret_cast<const char*>(&amd64), 2);
    return program;
}

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.IsRunning())
            << "run the program through tests/support/loopback_http.py --run (ctest does)";
        ASSERT_TRUE(m_server.Reset());
        CreateDirectoryW(m_program.c_str(), nullptr);
        CreateDirectoryW(m_desktop.c_str(), nullptr);
        m_host.programPath = ProgramFile(L"velto.exe");
        m_host.desktop = m_desktop;
        ASSERT_TRUE(WriteFileBytes(m_host.programPath, "program 1.37"));
    }

    void SetLastCheck(uint64_t value) { m_key.SetRaw(L"LastCheck", REG_QWORD, &value, sizeof value); }
    uint64_t LastCheck() {
        uint64_t value = 0;
        DWORD size = sizeof value;
        RegGetValueW(HKEY_CURRENT_USER, m_key.Path(), L"LastCheck", RRF_RT_ANY, nullptr, &value, &size);
        return value;
    }
    std::wstring Declined() {
        wchar_t text[64] = {};
        DWORD size = sizeof text;
        RegGetValueW(HKEY_CURRENT_USER, m_key.Path(), L"LastCheckVersion", RRF_RT_REG_SZ, nullptr, text, &size);
        return text;
    }

    bool ServeOffer(const Offer& offer) {
        HttpAnswer answer;
        answer.body = UpdateXml(offer);
        return m_server.Route(kUpdatePath, answer);
    }
    bool Serve(const std::string& path, const std::string& body) {
        HttpAnswer answer;
        answer.body = body;
        return m_server.Route(path, answer);
    }
    std::string Url(const std::string& path) { return Narrow(m_server.Url(path)); }

    bool Start(uint32_t flags = C_AutoUpdate::FLAG_NO_WORKER) {
        const std::wstring url = m_server.Url(kUpdatePath + "?p=velto");
        return m_update.Start(url.c_str(), m_window.Get(), HKEY_CURRENT_USER, m_key.Path(), L"LastCheck", flags);
    }
    // Start, then the check on this thread, as the worker would run it.
    bool RunCheck(uint32_t flags = 0) {
        if (!Start(flags | C_AutoUpdate::FLAG_NO_WORKER))
            return false;
        return m_update.Check();
    }

    std::wstring ProgramFile(const wchar_t* name) const { return m_program + L"\\" + name; }
    size_t UpdateQueries() { return m_server.RequestsFor(kUpdatePath).size(); }

    LoopbackHttp& m_server = LoopbackHttp::Instance();
    SettingsTestKey m_key;
    TempFolder m_folder;
    std::wstring m_program = m_folder.Path(L"program");
    std::wstring m_desktop = m_folder.Path(L"desktop");
    RecordingHost m_host;
    TestWindow m_window;
    C_AutoUpdate m_update{m_host};
};

// ---- When to ask ----

TEST_F(UpdateTest, AFirstStartChecksOnTheWorkerAndStoresTheTime) {
    ASSERT_TRUE(ServeOffer(Offer{}));
    ASSERT_TRUE(Start(0));
    ASSERT_TRUE(m_update.WaitFinished(kGenerousWait)); // answers the worker's question meanwhile
    m_update.Stop();
    EXPECT_EQ(LastCheck(), kNow);
    ASSERT_EQ(UpdateQueries(), 1u);
    ASSERT_EQ(m_host.questions.size(), 1u); // declined by the host's default answer
    EXPECT_EQ(m_server.RequestsFor(kUpdatePath)[0].Header("User-Agent"), "AutoUpdate");
    EXPECT_FALSE(C_SubClassing::IsSubClassed(m_window.Get(), C_AutoUpdate::kSubClassTag));
}

TEST_F(UpdateTest, NoRequestUnlessAWeekHasPassed) {
    struct Case {
        const char* name;
        uint64_t last;
        bool packaged;
        bool due;
        uint64_t storedAfter;
    } cases[] = {
        {"three days ago", kNow - 3 * kDay, false, false, kNow - 3 * kDay},
        {"exactly a week ago", kNow - 7 * kDay, false, false, kNow - 7 * kDay},
        {"a week and a second ago", kNow - 7 * kDay - 1, false, true, kNow},
        {"skip once (-1)", UINT64_MAX, false, false, 0},
        {"skip once (-1 as 32 bits)", 0xFFFFFFFF, false, false, 0},
        {"packaged", 0, true, false, 0},
    };
    ASSERT_TRUE(ServeOffer(Offer{}));
    for (const Case& c : cases) {
        SetLastCheck(c.last);
        m_host.packaged = c.packaged;
        EXPECT_EQ(Start(0), c.due) << c.name;
        EXPECT_TRUE(m_update.WaitFinished(kGenerousWait)) << c.name;
        m_update.Stop();
        EXPECT_EQ(LastCheck(), c.storedAfter) << c.name;
        EXPECT_EQ(UpdateQueries(), c.due ? 1u : 0u) << c.name;
        ASSERT_TRUE(m_server.Reset());
        ASSERT_TRUE(ServeOffer(Offer{}));
    }
}

TEST_F(UpdateTest, OnlyANewerVersionIsOffered) {
    struct Case {
        const wchar_t* running;
        const char* offered;
        bool asked;
    } cases[] = {
        {L"1.37", "1.40", true}, {L"1.37", "1.37", false}, {L"1.37", "1.5", false},  {L"1.5", "1.37", true},
        {L"1.37", "2.0", true},  {L"2.0", "1.99", false},  {L"1.37", "soon", false}, {L"1.37", "1", false},
    };
    for (const Case& c : cases) {
        m_host.version = c.running;
        m_host.questions.clear();
        Offer offer;
        offer.version = c.offered;
        ASSERT_TRUE(ServeOffer(offer));
        EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
        EXPECT_EQ(m_host.questions.size(), c.asked ? 1u : 0u) << Narrow(c.running) << " offered " << c.offered;
    }
}

TEST_F(UpdateTest, ADeclinedVersionIsNotOfferedAgainButTheNextOneIs) {
    ASSERT_TRUE(ServeOffer(Offer{}));
    EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    EXPECT_EQ(Declined(), L"1.40");
    EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    EXPECT_EQ(m_host.questions.size(), 1u);

    Offer next;
    next.version = "1.41";
    ASSERT_TRUE(ServeOffer(next));
    EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    EXPECT_EQ(m_host.questions.size(), 2u);
    EXPECT_EQ(Declined(), L"1.41");
}

TEST_F(UpdateTest, TheQuestionIsInTheUsersLanguageWithEnglishForEverybodyElse) {
    Offer offer;
    offer.info = {{"de", "Velto 1.40 ist da. Jetzt aktualisieren? \xC3\xA4\xC3\xB6\xC3\xBC"}, {"en", "Update now?"}};
    offer.help = "https://brannick.example/velto/1.40";
    ASSERT_TRUE(ServeOffer(offer));
    struct Case {
        const wchar_t* language;
        const wchar_t* text;
    } cases[] = {{L"de", L"Velto 1.40 ist da. Jetzt aktualisieren? \x00E4\x00F6\x00FC"},
                 {L"fr", L"Update now?"},
                 {L"en", L"Update now?"}};
    for (const Case& c : cases) {
        m_host.language = c.language;
        m_host.questions.clear();
        EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL | C_AutoUpdate::FLAG_NO_WORKER));
        RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key.Path(), L"LastCheckVersion");
        ASSERT_EQ(m_host.questions.size(), 1u) << Narrow(c.language);
        EXPECT_EQ(m_host.questions[0].text, c.text);
        EXPECT_EQ(m_host.questions[0].caption, L"Velto");
        EXPECT_EQ(m_host.questions[0].type, UINT(MB_YESNO | MB_ICONQUESTION | MB_HELP));
    }
}

TEST_F(UpdateTest, WithoutAnInfoTextOrVersionNothingIsAsked) {
    Offer noEnglish;
    noEnglish.info = {{"de", "Nur Deutsch"}};
    Offer noVersion;
    noVersion.version = "";
    for (const Offer& offer : {noEnglish, noVersion}) {
        ASSERT_TRUE(ServeOffer(offer));
        EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    }
    ASSERT_TRUE(Serve(kUpdatePath, "<not xml"));
    EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    EXPECT_TRUE(m_host.questions.empty());
}

TEST_F(UpdateTest, TheQueryCarriesVersionAndMachineInBothForms) {
    ASSERT_TRUE(ServeOffer(Offer{}));
    EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    m_host.language = L"de";
    const std::wstring url = m_server.Url(kUpdatePath);
    ASSERT_TRUE(m_update.Start(url.c_str(), m_window.Get(), HKEY_CURRENT_USER, m_key.Path(), L"LastCheck",
                               C_AutoUpdate::FLAG_INVENTORY_QUERY | C_AutoUpdate::FLAG_IGNORE_INTERVAL |
                                   C_AutoUpdate::FLAG_NO_WORKER,
                               L"Velto", L"1"));
    EXPECT_FALSE(m_update.Check()); // the plain answer has no inventory part
    std::vector<RecordedRequest> seen = m_server.RequestsFor(kUpdatePath);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].query, "p=velto&v=1.37&id=1610-0004-0000-00E9");
    EXPECT_EQ(seen[1].query, "a=updates&d=0&f=16&l=de&g=1610-0004-0000-00E9&i="
                             "%3CFenmore%3E%3CInventory%3E%3CItem%20Type%3D%221%22%20Name%3D%22Velto%22%20"
                             "Version%3D%221.37%22%20%2F%3E%3C%2FInventory%3E%3C%2FFenmore%3E");
}

TEST_F(UpdateTest, TheInventoryAnswerIsReadBelowItsNode) {
    ASSERT_TRUE(Serve(kUpdatePath, std::string(kDeclaration) + "<Fenmore><Updates><xml>" + UpdateXml(Offer{}, "") +
                                       "</xml></Updates></Fenmore>"));
    const std::wstring url = m_server.Url(kUpdatePath);
    ASSERT_TRUE(m_update.Start(url.c_str(), m_window.Get(), HKEY_CURRENT_USER, m_key.Path(), L"LastCheck",
                               C_AutoUpdate::FLAG_INVENTORY_QUERY | C_AutoUpdate::FLAG_NO_WORKER, L"Velto", L"1"));
    EXPECT_FALSE(m_update.Check());
    EXPECT_EQ(m_host.questions.size(), 1u);
}

// ---- Installing ----

TEST_F(UpdateTest, YesInstallsFromTheArchiveAndRestartsTheProgram) {
    ASSERT_TRUE(
        Serve("/files/velto.zip", ZipBuilder().Add("velto.exe", SampleProgram()).Add("lang/de.txt", "de").Build()));
    Offer offer;
    offer.files = {{Url("/files/velto.zip"), "velto.exe", "velto.zip"}};
    ASSERT_TRUE(ServeOffer(offer));
    m_host.answers = {IDYES, IDYES};
    EXPECT_TRUE(RunCheck());
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto.exe")), SampleProgram());
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto_old.exe")), "program 1.37");
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"lang\\de.txt")), "de");
    EXPECT_EQ(SnapshotOf(m_program).size(), 4u) << "velto.exe, velto_old.exe, lang and lang\\de.txt alone";
    ASSERT_EQ(m_host.questions.size(), 2u);
    EXPECT_EQ(m_host.questions[1].text, L"Restart now?");
    EXPECT_EQ(m_host.questions[1].type, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(m_host.started, std::vector<std::wstring>{ProgramFile(L"velto.exe")});
    EXPECT_EQ(m_host.startedIn, m_program);
    EXPECT_TRUE(m_window.CloseWasPosted());
}

TEST_F(UpdateTest, APlainFileIsSwappedAndAnOldSavedCopyReplaced) {
    ASSERT_TRUE(Serve("/files/velto.exe", SampleProgram()));
    ASSERT_TRUE(WriteFileBytes(ProgramFile(L"velto_old.exe"), "program 1.20"));
    Offer offer;
    offer.files = {{Url("/files/velto.exe"), "velto.exe", ""}};
    offer.restart = ""; // an empty restart text restarts without asking
    ASSERT_TRUE(ServeOffer(offer));
    m_host.answers = {IDYES};
    EXPECT_TRUE(RunCheck());
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto.exe")), SampleProgram());
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto_old.exe")), "program 1.37");
    EXPECT_EQ(m_host.questions.size(), 1u);
    EXPECT_EQ(m_host.started.size(), 1u);
}

TEST_F(UpdateTest, AFileWithoutNameGoesToTheDesktopAndIsStartedInstead) {
    ASSERT_TRUE(Serve("/get", "setup program"));
    Offer offer;
    offer.files = {{Url("/get?file=velto-setup.exe"), "", ""}};
    ASSERT_TRUE(ServeOffer(offer));
    m_host.answers = {IDYES, IDYES};
    EXPECT_TRUE(RunCheck());
    EXPECT_EQ(ReadFileBytes(m_desktop + L"\\velto-setup.exe"), "setup program");
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto.exe")), "program 1.37");
    EXPECT_EQ(m_host.started, std::vector<std::wstring>{m_desktop + L"\\velto-setup.exe"});
}

TEST_F(UpdateTest, DecliningTheRestartInstallsButStartsNothing) {
    ASSERT_TRUE(Serve("/files/velto.exe", SampleProgram()));
    Offer offer;
    offer.files = {{Url("/files/velto.exe"), "velto.exe", ""}};
    ASSERT_TRUE(ServeOffer(offer));
    m_host.answers = {IDYES, IDNO};
    EXPECT_FALSE(RunCheck());
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto.exe")), SampleProgram());
    EXPECT_TRUE(m_host.started.empty());
    EXPECT_FALSE(m_window.CloseWasPosted());
}

// Whatever goes wrong, every file of the program's folder is exactly as before (the user's own, an old saved
// copy), nothing downloaded or extracted is left, and nothing is started or closed.
TEST_F(UpdateTest, AFailedStepLeavesTheProgramFolderAsItWas) {
    const std::string bigFile = Bytes(1 << 20, 'b');
    ZipBuilder badLastEntry;
    badLastEntry.Add("keep.txt", "overwritten").Add("big.bin", bigFile).Add("velto.exe", SampleProgram());
    badLastEntry.Last().crcAdjust = 1;
    const std::string program = SampleProgram();
    struct Case {
        const char* name;
        std::vector<FileElement> files;
        size_t downloads; // requests for the files the server saw
        std::string version = "1.40";
    } cases[] = {
        {"archive entry outside the folder", {{Url("/files/evil.zip"), "velto.exe", "evil.zip"}}, 1},
        {"archive unreadable", {{Url("/files/broken.zip"), "velto.exe", "broken.zip"}}, 1},
        {"a later entry's checksum is bad", {{Url("/files/bad-last.zip"), "velto.exe", "velto.zip"}}, 1},
        {"archive without the program", {{Url("/files/other.zip"), "velto.exe", "velto.zip"}}, 1},
        {"a page of text", {{Url("/files/text.exe"), "velto.exe", ""}}, 1},
        {"a program for another machine", {{Url("/files/amd64.exe"), "velto.exe", ""}}, 1},
        {"a program cut short", {{Url("/files/half.exe"), "velto.exe", ""}}, 1},
        {"a program of another version", {{Url("/files/velto.exe"), "velto.exe", ""}}, 1, "1.41"},
        {"the swap fails half way", {{Url("/files/into-sub.zip"), "velto.exe", "velto.zip"}}, 1},
        {"name with a folder", {{Url("/files/velto.exe"), "..\\velto.exe", ""}}, 0},
        {"name with a slash", {{Url("/files/velto.exe"), "sub/velto.exe", ""}}, 0},
        {"name is ..", {{Url("/files/velto.exe"), "..", ""}}, 0},
        {"zip name with a folder", {{Url("/files/velto.exe"), "velto.exe", "..\\u.zip"}}, 0},
        {"desktop name is ..", {{Url("/get?file=.."), "", ""}}, 0},
        {"second download missing",
         {{Url("/files/velto.exe"), "velto.exe", ""}, {Url("/files/gone.dll"), "x.dll", ""}},
         2},
        {"second file not there to save",
         {{Url("/files/velto.exe"), "velto.exe", ""}, {Url("/files/plain.exe"), "absent.dll", ""}},
         2},
    };
    // The user's file, a copy saved by an earlier update, and a file where the archive wants a folder.
    ASSERT_TRUE(WriteFileBytes(ProgramFile(L"keep.txt"), "the user's"));
    ASSERT_TRUE(WriteFileBytes(ProgramFile(L"velto_old.exe"), "program 1.20"));
    ASSERT_TRUE(WriteFileBytes(ProgramFile(L"sub"), "a file, not a folder"));
    const FolderSnapshot before = SnapshotOf(m_program);
    for (const Case& c : cases) {
        ASSERT_TRUE(m_server.Reset());
        ASSERT_TRUE(Serve("/files/evil.zip", ZipBuilder().Add("velto.exe", "x").Add("../outside.exe", "evil").Build()));
        ASSERT_TRUE(Serve("/files/broken.zip", "not an archive"));
        ASSERT_TRUE(Serve("/files/bad-last.zip", badLastEntry.Build()));
        ASSERT_TRUE(Serve("/files/other.zip", ZipBuilder().Add("other.txt", "other").Build()));
        ASSERT_TRUE(Serve("/files/text.exe", "this is not a program"));
        ASSERT_TRUE(Serve("/files/amd64.exe", ForAnotherMachine(program)));
        ASSERT_TRUE(Serve("/files/half.exe", program.substr(0, program.size() / 2)));
        ASSERT_TRUE(Serve("/files/into-sub.zip",
                          ZipBuilder().Add("velto.exe", program).Add("keep.txt", "new").Add("sub/x.txt", "x").Build()));
        ASSERT_TRUE(Serve("/files/velto.exe", program));
        ASSERT_TRUE(Serve("/files/plain.exe", "plain"));
        Offer offer;
        offer.files = c.files;
        offer.version = c.version;
        ASSERT_TRUE(ServeOffer(offer));
        m_host.answers = {IDYES, IDYES};
        m_host.questions.clear();
        EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL)) << c.name;
        EXPECT_EQ(SnapshotOf(m_program), before) << c.name;
        EXPECT_EQ(ReadFileBytes(m_folder.Path(L"outside.exe")), "<missing>") << c.name;
        EXPECT_EQ(m_server.Requests().size() - 1, c.downloads) << c.name;
        // The question, then the notice that the update could not be installed.
        ASSERT_EQ(m_host.questions.size(), 2u) << c.name;
        EXPECT_EQ(m_host.questions[1].text, L"The update to Velto " + std::wstring(c.version.begin(), c.version.end()) +
                                                L" could not be installed. Velto is unchanged; the update is offered "
                                                L"again at the next weekly check.")
            << c.name;
        EXPECT_EQ(m_host.questions[1].type, UINT(MB_OK | MB_ICONWARNING)) << c.name;
        EXPECT_TRUE(m_host.started.empty()) << c.name;
        EXPECT_FALSE(m_window.CloseWasPosted()) << c.name;
    }
}

// An installation for every user: the user may not change the program's folder. Asking would only lead to a
// failure, so the user is told why there is nothing to install, once for this version, and nothing is fetched.
// A file for the desktop (an installer) needs no such folder and is offered as usual.
TEST_F(UpdateTest, AFolderTheUserMayNotChangeIsToldOfOnceAndNothingIsDownloaded) {
    m_host.folderChangeable = false;
    Offer offer;
    offer.files = {{Url("/files/velto.zip"), "velto.exe", "velto.zip"}};
    ASSERT_TRUE(ServeOffer(offer));
    EXPECT_FALSE(RunCheck());
    ASSERT_EQ(m_host.questions.size(), 1u);
    EXPECT_EQ(m_host.questions[0].text, L"Velto 1.40 is available, but Velto cannot install it in " + m_program +
                                            L": only an administrator may change the files there.\n\nAsk an "
                                            L"administrator to install the new version, or start Velto as an "
                                            L"administrator and let it update itself.");
    EXPECT_EQ(m_host.questions[0].type, UINT(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(m_host.questions[0].caption, L"Velto");
    EXPECT_EQ(m_server.Requests().size(), 1u) << "the query alone";
    EXPECT_EQ(Declined(), L"1.40");
    EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    EXPECT_EQ(m_host.questions.size(), 1u) << "told once";

    offer.version = "1.41";
    offer.files = {{Url("/get?file=velto-setup.exe"), "", ""}};
    ASSERT_TRUE(ServeOffer(offer));
    m_host.answers = {IDNO, IDNO};
    EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
    ASSERT_EQ(m_host.questions.size(), 2u);
    EXPECT_EQ(m_host.questions[1].type, UINT(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(UpdateTest, AnArchiveWithoutTheNamedFileGivesTheOldProgramBack) {
    ASSERT_TRUE(Serve("/files/velto.zip", ZipBuilder().Add("readme.txt", "1.40").Build()));
    Offer offer;
    offer.files = {{Url("/files/velto.zip"), "velto.exe", "velto.zip"}};
    ASSERT_TRUE(ServeOffer(offer));
    m_host.answers = {IDYES, IDYES};
    EXPECT_FALSE(RunCheck());
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto.exe")), "program 1.37");
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto_old.exe")), "<missing>");
    EXPECT_EQ(ReadFileBytes(ProgramFile(L"readme.txt")), "<missing>");
    EXPECT_TRUE(m_host.started.empty());
}

TEST_F(UpdateTest, TheAnswerNamesOnlyProgramsOfTheUpdatesFolder) {
    struct Case {
        const char* execute;
        bool restarts;
        std::wstring started;
    } cases[] = {
        {"setup.exe", true, ProgramFile(L"setup.exe")},
        {"C:\\Windows\\System32\\cmd.exe", false, L""},
        {"..\\other.exe", false, L""},
    };
    for (const Case& c : cases) {
        Offer offer;
        offer.execute = c.execute;
        ASSERT_TRUE(ServeOffer(offer));
        m_host.answers = {IDYES, IDYES};
        m_host.questions.clear();
        m_host.started.clear();
        EXPECT_EQ(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL), c.restarts) << c.execute;
        EXPECT_EQ(m_host.started, c.restarts ? std::vector<std::wstring>{c.started} : std::vector<std::wstring>{})
            << c.execute;
        m_window.CloseWasPosted();
    }
}

TEST_F(UpdateTest, HelpOpensOnlyWebAddresses) {
    struct Case {
        const char* help;
        bool opened;
    } cases[] = {{"https://brannick.example/velto", true},
                 {"http://brannick.example/velto", true},
                 {"C:\\Windows\\System32\\calc.exe", false},
                 {"file:///C:/evil.exe", false}};
    m_host.pressHelp = true;
    for (const Case& c : cases) {
        Offer offer;
        offer.help = c.help;
        ASSERT_TRUE(ServeOffer(offer));
        m_host.opened.clear();
        EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
        RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key.Path(), L"LastCheckVersion");
        EXPECT_EQ(m_host.opened.size(), c.opened ? 1u : 0u) << c.help;
    }
}

TEST_F(UpdateTest, TheCheckAsksForCertificatesToBeChecked) {
    int flag = 0;
    EXPECT_EQ(C_AutoUpdate::Notify(DOWNLOAD_CHECK_CERTIFICATES, uintptr_t(&flag), nullptr), 1);
    EXPECT_EQ(flag, 1);
    for (int code : {0, 1, 4, 5, 6, 7, 8, 9, 10})
        EXPECT_EQ(C_AutoUpdate::Notify(code, 0, nullptr), 1) << code;
}

// Closing the program while a check is under way: before the query nothing is asked of the server; after the
// answer no box appears and the offered version does not count as declined.
TEST_F(UpdateTest, StopEndsACheckUnderWayWithoutAQuestion) {
    struct Case {
        RecordingHost::PausePoint pauseAt;
        size_t queries;
    } cases[] = {{RecordingHost::PAUSE_BEFORE_QUERY, 0}, {RecordingHost::PAUSE_AFTER_ANSWER, 1}};
    ASSERT_TRUE(ServeOffer(Offer{}));
    for (const Case& c : cases) {
        ASSERT_TRUE(m_server.Reset());
        ASSERT_TRUE(ServeOffer(Offer{}));
        C_Handle paused(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        C_Handle proceed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_host.pauseAt = c.pauseAt;
        m_host.paused = paused.Get();
        m_host.proceed = proceed.Get();
        ASSERT_TRUE(Start(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
        ASSERT_EQ(WaitForSingleObject(paused.Get(), kGenerousWait), WAIT_OBJECT_0);
        // Delivered while Stop waits, so the worker goes on only after Stop has asked it to end.
        PostMessageW(m_window.Get(), TestWindow::kRelease, 0, reinterpret_cast<LPARAM>(proceed.Get()));
        m_update.Stop();
        m_host.paused = m_host.proceed = nullptr;
        EXPECT_EQ(UpdateQueries(), c.queries) << c.pauseAt;
        EXPECT_TRUE(m_host.questions.empty()) << c.pauseAt;
        EXPECT_EQ(Declined(), L"") << c.pauseAt;
        EXPECT_FALSE(C_SubClassing::IsSubClassed(m_window.Get(), C_AutoUpdate::kSubClassTag));
    }
}

// The update's answer is small: one that does not end within the limit is no offer, and reading it stops
// there instead of filling the memory.
TEST_F(UpdateTest, AnAnswerBeyondTheLimitIsNoOffer) {
    const std::string offer = UpdateXml(Offer{});
    const std::string padding = "<!--" + Bytes(C_AutoUpdate::kAnswerLimit - offer.size() - 7, 'p') + "-->";
    struct Case {
        const char* name;
        std::string body;
        bool endless;
        size_t questions;
    } cases[] = {
        {"at the limit", offer + padding, false, 1},
        {"one byte over", offer + padding + " ", false, 0},
        {"never ending", offer + padding, true, 0},
    };
    for (const Case& c : cases) {
        HttpAnswer answer;
        answer.body = c.body;
        answer.endless = c.endless;
        ASSERT_TRUE(m_server.Route(kUpdatePath, answer));
        m_host.questions.clear();
        EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL)) << c.name;
        RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key.Path(), L"LastCheckVersion");
        EXPECT_EQ(m_host.questions.size(), c.questions) << c.name;
    }
}

TEST_F(UpdateTest, AQuestionFromTheServerIsCutToFitItsBox) {
    std::string words;
    while (words.size() < 100000)
        words += "Velto 1.40 is out. ";
    std::string lines;
    for (int i = 0; i < 1000; ++i)
        lines += "line " + std::to_string(i) + "\n";
    for (const std::string& text : {words, lines}) {
        Offer offer;
        offer.info = {{"en", text}};
        ASSERT_TRUE(ServeOffer(offer));
        m_host.questions.clear();
        EXPECT_FALSE(RunCheck(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
        RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key.Path(), L"LastCheckVersion");
        ASSERT_EQ(m_host.questions.size(), 1u);
        const std::wstring& asked = m_host.questions[0].text;
        EXPECT_LE(asked.size(), size_t(C_AutoUpdate::kQuestionLimit));
        EXPECT_LT(size_t(std::count(asked.begin(), asked.end(), L'\n')), size_t(C_AutoUpdate::kQuestionLines));
        EXPECT_EQ(asked.back(), L'\x2026') << "the cut is marked";
        EXPECT_EQ(asked.compare(0, 100, std::wstring(text.begin(), text.begin() + 100)), 0);
    }
}

// A server that takes the request and never answers. The close waits a few seconds at most, whether or not
// the system ends the blocked request when asked (this Wine does not). Before the close had a bound it waited
// for the server, which gives up after a minute.
TEST_F(UpdateTest, StopGivesUpOnASilentServer) {
    constexpr ULONGLONG kWellBeforeTheServer = 30000;
    struct Case {
        const char* name;
        bool duringDownload;
    } cases[] = {{"the query", false}, {"the download", true}};
    for (const Case& c : cases) {
        ASSERT_TRUE(m_server.Reset());
        HttpAnswer silent;
        silent.silent = true;
        HttpAnswer stalled;
        stalled.body = Bytes(100000, 'z');
        stalled.length = 8400000;
        stalled.stall = true;
        Offer offer;
        offer.files = {{Url("/files/velto.zip"), "velto.exe", "velto.zip"}};
        ASSERT_TRUE(c.duringDownload ? ServeOffer(offer) : m_server.Route(kUpdatePath, silent));
        ASSERT_TRUE(m_server.Route("/files/velto.zip", stalled));
        m_host.answers = {IDYES};
        const std::wstring partial = ProgramFile(L"velto_new.zip");
        ASSERT_TRUE(Start(C_AutoUpdate::FLAG_IGNORE_INTERVAL));
        const ULONGLONG waitLimit = GetTickCount64() + kGenerousWait;
        while (
            GetTickCount64() < waitLimit &&
            (c.duringDownload ? GetFileAttributesW(partial.c_str()) == INVALID_FILE_ATTRIBUTES : UpdateQueries() == 0))
            m_update.WaitFinished(50); // answers the question meanwhile
        ASSERT_LT(GetTickCount64(), waitLimit) << c.name << ": the server never heard from the check";
        const ULONGLONG start = GetTickCount64();
        m_update.Stop();
        EXPECT_LT(GetTickCount64() - start, kWellBeforeTheServer) << c.name;
        // A Stop that gave up has deleted the partial file. Wine keeps a deleted file's name until its last
        // handle closes (Windows drops it at once), so that shows only once the process ends: tests/gui.
        // The worker ends once the server lets go; then nothing of the download is left.
        ASSERT_TRUE(m_server.Release());
        EXPECT_TRUE(m_update.WaitFinished(kGenerousWait)) << c.name;
        EXPECT_TRUE(m_update.Stop()) << c.name;
        EXPECT_EQ(ReadFileBytes(partial), "<missing>") << c.name;
        EXPECT_EQ(ReadFileBytes(ProgramFile(L"velto.exe")), "program 1.37") << c.name;
        EXPECT_EQ(Declined(), L"") << c.name;
    }
}

// ---- The address and the machine ----

TEST(UpdateAddress, OnlyThisMachineMayStandInForTheUpdateServer) {
    struct Case {
        const wchar_t* url;
        bool loopback;
    } cases[] = {
        {L"http://127.0.0.1:8080/common/update.php?p=velto", true},
        {L"https://localhost/x", true},
        {L"http://[::1]:99/x", true},
        {L"http://127.9.9.9/x", true},
        {L"http://127.0.0.1.example.com/x", false},
        {L"http://127.0.0.1@evil.example/x", false},
        {L"http://evil.example/127.0.0.1", false},
        {L"ftp://127.0.0.1/x", false},
        {L"https://198.51.100.20/common/update.php?p=velto", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsLoopbackAddress(c.url), c.loopback) << Narrow(c.url);

    SettingsTestKey key;
    C_String address;
    ASSERT_TRUE(ResolveUpdateAddress(HKEY_CURRENT_USER, key.Path(), address));
    EXPECT_STREQ(address.c_str(), kUpdateAddress);
    const wchar_t foreign[] = L"https://evil.example/update.php";
    key.SetRaw(kUpdateServerValue, REG_SZ, foreign, sizeof foreign);
    ASSERT_TRUE(ResolveUpdateAddress(HKEY_CURRENT_USER, key.Path(), address));
    EXPECT_STREQ(address.c_str(), kUpdateAddress);
    const wchar_t local[] = L"http://127.0.0.1:5000/u.php?p=velto";
    key.SetRaw(kUpdateServerValue, REG_SZ, local, sizeof local);
    ASSERT_TRUE(ResolveUpdateAddress(HKEY_CURRENT_USER, key.Path(), address));
    EXPECT_STREQ(address.c_str(), local);
}

TEST(MachineIdTest, BytesFoldTheMachinesFacts) {
    MachineFacts facts;
    facts.productId = L"AB"; // 0x41 + 0x42 = 0x83; XOR 0x03
    facts.major = 6;
    facts.minor = 1;
    facts.volumeSerial = 0x12345678;           // 0x12 ^ 0x34 ^ 0x56 ^ 0x78 = 0x08
    facts.adapterAddress = {0x00, 0x1A, 0x2B}; // 0x31
    facts.diskIds = L"\x00FF\x0002";           // 0x101 as one byte: 0x01
    struct Case {
        const char* name;
        void (*change)(MachineFacts&);
        uint8_t versionByte;
    } cases[] = {
        {"Windows 7", [](MachineFacts&) {}, 0x16},
        {"Windows 10", [](MachineFacts& f) { f.major = 10, f.minor = 0, f.build = 19045; }, 0x0A},
        {"Windows 11", [](MachineFacts& f) { f.major = 10, f.minor = 0, f.build = 22000; }, 0x0B},
        {"x86 on ARM, packaged", [](MachineFacts& f) { f.armEmulation = f.packaged = true; }, 0xD6},
        {"Wine", [](MachineFacts& f) { f.system = HostSystem::Wine; }, 1},
        {"ReactOS", [](MachineFacts& f) { f.system = HostSystem::ReactOs; }, 2},
        {"Sandbox", [](MachineFacts& f) { f.system = HostSystem::Sandbox; }, 3},
    };
    for (const Case& c : cases) {
        MachineFacts changed = facts;
        c.change(changed);
        const MachineId id = ComposeMachineId(changed, PURPOSE_UPDATE_CHECK);
        const uint8_t expected[7] = {16, 0x83, c.versionByte, 0x08, 0x31, 0x01, 4};
        uint8_t check = 0;
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(id.bytes[i], expected[i]) << c.name << " byte " << i;
            check ^= uint8_t(~expected[i]);
        }
        EXPECT_EQ(id.bytes[7], check) << c.name;
    }
    facts.adapterAddress.clear(); // falls back to the product id's characters
    EXPECT_EQ(ComposeMachineId(facts, PURPOSE_PROBLEM_REPORT).bytes[4], 0x03);
    EXPECT_EQ(ComposeMachineId(facts, PURPOSE_PROBLEM_REPORT).bytes[6], 2);

    MachineId id = {{0x10, 0x83, 0x16, 0x08, 0x31, 0x01, 0x04, 0xAB}};
    C_String text;
    ASSERT_TRUE(FormatMachineId(id, text));
    EXPECT_STREQ(text.c_str(), L"8310-0816-0131-AB04");
}

TEST(MachineIdTest, ThisMachineIsRecognised) {
    C_String text;
    ASSERT_TRUE(GetMachineId(PURPOSE_UPDATE_CHECK, text));
    ASSERT_EQ(text.GetLength(), 19u);
    // Under Wine the version byte says so; on Windows it holds the version.
    const MachineFacts facts = GatherMachineFacts();
    const uint8_t version = ComposeMachineId(facts, PURPOSE_UPDATE_CHECK).bytes[2];
    if (facts.system == HostSystem::Wine)
        EXPECT_EQ(version, 1);
    else
        EXPECT_GE(version & 0x0F, 6);
}

} // namespace
