#include "ui/framework/Language.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/StringTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr LANGID kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
constexpr LANGID kGermanAustria = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN);
// Test-only entries (tests/ui/TestResources.rc).
constexpr UINT kLongText = 4000;     // 700 characters, English (UK)
constexpr UINT kGermanOnly = 4017;   // a block stored in German only
constexpr UINT kJapaneseOnly = 4033; // a block stored in Japanese only
constexpr UINT kGapInBlock = 4002;   // block of kLongText, no entry

struct Row {
    UINT id;
    const wchar_t* texts[4]; // English (UK), German, Greek, Russian
};

// Every text exactly as the program must show it; the resource scripts are UTF-8 and must come back unchanged.
const Row kRows[] = {
    {1, L"None", L"Keine", L"Καμία", L"Нет"},
    {2, L"Even", L"Gerade", L"Άρτια", L"Равный"},
    {3, L"Odd", L"Ungerade", L"Περιττή", L"Неравный"},
    {24, L"Options", L"Optionen", L"Επιλογές", L"Опции"},
    {27, L"Save", L"Speichern", L"Αποθήκευση", L"Сохранить"},
    {28, L"Start", L"Start", L"Έναρξη", L"Старт"},
    {29, L"Stop", L"Stopp", L"Διακοπή", L"Стоп"},
    {30, L"Select", L"Auswählen", L"Επιλογή", L"Выбрать"},
    {33, L"Baud Rate", L"Baud-Rate", L"Ταχύτητα Baud", L"Скорость (боды)"},
    {34, L"Parity", L"Parität", L"Ισοτιμία", L"Паритет"},
    {41, L"Automatically check for updates", L"Automatisch nach Updates suchen", L"Αυτόματος έλεγχος για ενημερώσεις",
     L"Авто проверка обновлений"},
    {42, L"OK", L"OK", L"Εντάξει", L"OK"},
    {43, L"Cancel", L"Abbrechen", L"Άκυρο", L"Отмена"},
    {48, L"1", L"1", L"1", L"1"},
    {49, L"1.5", L"1.5", L"1.5", L"1.5"},
    {50, L"2", L"2", L"2", L"2"},
    {51, L"Stop Bits", L"Stop Bits", L"Bits διακοπής", L"Стоп-бит"},
    {52, L"Write to Log File", L"Werte in Logdatei schreiben", L"Εγγραφή σε αρχείο καταγραφής", L"Запись в журнал"},
    {54, L"Please select log file", L"Bitte wählen Sie eine Logdatei aus", L"Παρακαλώ επιλέξτε το αρχείο καταγραφής",
     L"Выберите файл журнала"},
    {55, L"Clear", L"Löschen", L"Απαλοιφή", L"Очистка"},
    {56, L"TXT Format|*.txt|HTML Format|*.html||", L"TXT Format|*.txt|HTML Format|*.html||",
     L"Μορφή TXT|*.txt|Μορφή HTML|*.html||", L"TXT формат|*.txt|HTML формат|*.html||"},
    {57, L"Please select file to save currently displayed text",
     L"Bitte wählen Sie eine Datei für den aktuellen Text aus",
     L"Παρακαλούμε επιλέξτε αρχείο για την αποθήκευση του εμφανιζόμενου κειμένου",
     L"Выберите имя файла и место, куда сохранить отображаемый текст"},
    {59, L"Text as shown (*.txt)|*.txt|Raw bytes as received (*.bin)|*.bin||",
     L"Text wie angezeigt (*.txt)|*.txt|Rohe Bytes wie empfangen (*.bin)|*.bin||",
     L"Κείμενο όπως εμφανίζεται (*.txt)|*.txt|Ακατέργαστα byte όπως ελήφθησαν (*.bin)|*.bin||",
     L"Текст как на экране (*.txt)|*.txt|Байты как получены (*.bin)|*.bin||"},
    {60, L"Please select file to log receiving text", L"Bitte wählen Sie eine Datei für das Loggen aus",
     L"Παρακαλούμε επιλέξτε αρχείο για την καταγραφή του ληφθέντος κειμένου",
     L"Выберите место, куда сохранить файл журнала"},
    {61, L"Font", L"Schriftart", L"Γραμματοσειρά", L"Шрифт"},
    {62, L"Bold", L"Fett", L"Έντονα", L"Жирный"},
    {63, L"Case Sensitive", L"Groß-/Kleinschreibung", L"Ταίριασμα πεζών-κεφαλαίων", L"Учитывать регистр"},
    {64, L"Whole Word", L"Ganzes Wort", L"Ταίριασμα όλης της λέξης", L"Слово целиком"},
    {65, L"Search", L"Suchen", L"Αναζήτηση", L"Поиск"},
    {66, L"Time Format", L"Zeit Format", L"Μορφή ώρας", L"Метка времени"},
    {67, L"Searching for serial port", L"Nach serieller Schnittstelle suchen", L"Αναζήτηση σειριακής θύρας",
     L"Поиск последовательного порта"},
    {68, L"Opening serial port", L"Serielle Schnittstelle öffnen", L"Άνοιγμα σειριακής θύρας",
     L"Открытие последовательного порта"},
    {69, L"Successfully opened serial port", L"Serielle Schnittstelle geöffnet", L"Η σειριακή θύρα άνοιξε με επιτυχία",
     L"Порт открыт успешно"},
    {70, L"Can't open serial port", L"Serielle Schnittstelle kann nicht geöffnet werden",
     L"Δεν είναι δυνατό το άνοιγμα της σειριακής θύρας", L"Невозможно открыть порт"},
    {71, L"Closing serial port", L"Serielle Schnittstelle schließen", L"Κλείσιμο σειριακής θύρας", L"Закрытие порта"},
    {72, L"Closed serial port", L"Serielle Schnittstelle geschlossen", L"Κλειστή σειριακή θύρα", L"Порт закрыт"},
    {73, L"Filter to show only matching output. Use , to separate multiple patterns, use - to exclude.",
     L"Filtern um nur passende Zeilen anzuzeigen. Komma für mehrere Muster, Minus zum Ausschließen.",
     L"Φίλτρο για εμφάνιση μόνο γραμμών που ταιριάζουν. Χρήση , για διαχωρισμό πολλαπλών μοτίβων και χρήση - για "
     L"εξαίρεση.",
     L"Фильтр для отображения только соответствующих результатов. Используйте , для разделения нескольких шаблонов, "
     L"используйте - для исключения."},
    {74, L"Tag:", L"Tag:", L"Ετικέτα:", L"Ярлык:"},
    {75, L"Character Send Delay", L"Zeichensendeverzögerung", L"Character Send Delay", L"Задержка отправки символа"},
};

const LANGID kLanguages[4] = {Language::kEnglishUk, Language::kGerman, Language::kGreek, Language::kRussian};

class StringTableTest : public ::testing::Test {
protected:
    ~StringTableTest() override { Language::SetInterfaceLanguage(Language::kUserDefault); }

    std::wstring Load(LANGID language, UINT id) {
        table.SetLanguage(language);
        return table.LoadString(id);
    }

    C_StringTable table;
};

TEST_F(StringTableTest, EveryTextRoundTripsInAllFourLanguages) {
    for (int language = 0; language < 4; ++language)
        for (const Row& row : kRows)
            EXPECT_EQ(Load(kLanguages[language], row.id), row.texts[language])
                << "id " << row.id << ", language " << std::hex << kLanguages[language];
}

TEST_F(StringTableTest, StatusAndLabelTextsInTheChosenLanguage) {
    EXPECT_EQ(Load(Language::kGerman, IDS_STATUS_OPEN_FAILED), L"Serielle Schnittstelle kann nicht geöffnet werden");
    EXPECT_EQ(Load(Language::kGreek, IDS_SEND_DELAY), L"Character Send Delay");
    EXPECT_EQ(Load(Language::kGerman, IDS_PARITY_NONE), L"Keine");
    EXPECT_EQ(Load(Language::kGerman, IDS_PARITY_EVEN), L"Gerade");
    EXPECT_EQ(Load(Language::kGerman, IDS_PARITY_ODD), L"Ungerade");
}

TEST_F(StringTableTest, LanguagesWithoutTablesFallBack) {
    EXPECT_EQ(Load(kFrench, IDS_STATUS_OPEN_FAILED), L"Can't open serial port"); // first English table: UK
    EXPECT_EQ(Load(Language::kEnglishUs, IDS_CANCEL), L"Cancel");
    EXPECT_EQ(Load(kGermanAustria, IDS_CANCEL), L"Abbrechen"); // the default sublanguage of German
    EXPECT_EQ(Load(kFrench, kGermanOnly), L"Nur auf Deutsch"); // German closes the order
    EXPECT_EQ(Load(Language::kRussian, kJapaneseOnly), L"?");  // not in the order at all
}

TEST_F(StringTableTest, MissingEntriesReadAsQuestionMark) {
    EXPECT_EQ(Load(Language::kEnglishUk, 0), L"?");
    EXPECT_EQ(Load(Language::kEnglishUk, 4), L"?"); // inside a block that exists
    EXPECT_EQ(Load(Language::kEnglishUk, kGapInBlock), L"?");
    EXPECT_EQ(Load(Language::kEnglishUk, 65535), L"?");
}

TEST_F(StringTableTest, LongTextsAreCutTo599Characters) {
    std::wstring text = Load(Language::kEnglishUk, kLongText);
    ASSERT_EQ(text.size(), C_StringTable::kMaxLength);
    EXPECT_EQ(text.substr(0, 12), L"012345678901");
    C_String copy;
    EXPECT_TRUE(table.LoadString(kLongText, copy));
    EXPECT_EQ(copy.GetLength(), C_StringTable::kMaxLength);
}

TEST(LanguageTest, LookupOrder) {
    LANGID order[Language::kOrderLength];
    Language::BuildOrder(kGermanAustria, order);
    const LANGID expected[] = {kGermanAustria,       Language::kGerman,    MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL),
                               Language::kEnglishUs, Language::kEnglishUk, Language::kEnglishNeutral,
                               Language::kGerman};
    for (int i = 0; i < Language::kOrderLength; ++i)
        EXPECT_EQ(order[i], expected[i]) << i;
}

TEST(LanguageTest, NeutralAndCustomIdsResolveToARealLanguage) {
    for (LANGID marker : {Language::kUserDefault, LANGID(LANG_NEUTRAL), LANGID(LOCALE_CUSTOM_DEFAULT),
                          LANGID(LOCALE_CUSTOM_UI_DEFAULT)}) {
        LANGID resolved = Language::Resolve(marker);
        EXPECT_NE(PRIMARYLANGID(resolved), LANG_NEUTRAL) << std::hex << marker;
    }
    EXPECT_EQ(Language::Resolve(Language::kGreek), Language::kGreek);
}

TEST(LanguageTest, IsoNamesSelectTheLanguage) {
    EXPECT_EQ(Language::FromIsoName(L"de"), Language::kGerman);
    EXPECT_EQ(Language::FromIsoName(L"EL"), Language::kGreek);
    EXPECT_EQ(Language::FromIsoName(L"ru"), Language::kRussian);
    EXPECT_EQ(PRIMARYLANGID(Language::FromIsoName(L"en")), LANG_ENGLISH);
    EXPECT_EQ(Language::FromIsoName(L"xx"), 0);
    EXPECT_EQ(Language::FromIsoName(L""), 0);
    EXPECT_EQ(Language::FromIsoName(L"deu"), 0);
}

} // namespace
