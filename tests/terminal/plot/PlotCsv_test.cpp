// The CSV export: one row per line, empty cells where a line gave a series nothing, written in steps that find
// their place again while the reader drops old points, and a failed write reported.
#include "terminal/plot/PlotCsv.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

void Line(C_PlotData& data, int64_t time, const std::wstring& text) {
    PlotParser::Sample samples[PlotParser::kMaxSamples];
    uint32_t count = PlotParser::ParseLine(text.data(), uint32_t(text.size()), samples);
    data.AddLine(time, samples, count);
}

std::string ReadAll(const std::wstring& path) {
    std::string text;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char block[4096];
        for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;)
            text.append(block, n);
        fclose(file);
    }
    return text;
}

struct CsvFile {
    explicit CsvFile(const TempFolder& folder) : path(folder.Path(L"plot.csv")) {
        EXPECT_TRUE(file.Open(path.c_str(), C_File::MODE_WRITE_CREATE));
    }
    std::string Text() {
        file.Close();
        return ReadAll(path);
    }
    std::wstring path;
    C_File file;
};

TEST(PlotCsv, OneRowPerLineWithEmptyCellsAndExactValues) {
    TempFolder folder;
    CsvFile csv(folder);
    C_PlotData data;
    Line(data, 5000000, L"temp=41.5 fan=1200");
    Line(data, 5000001, L"fan=1210");
    Line(data, 6234567, L"temp=-0.03 \x03C4=1e21");
    Line(data, 7000000, L"temp=0.1");
    C_PlotCsvExport csvExport;
    csvExport.Begin(data);
    Line(data, 8000000, L"temp=99"); // after the export began: not in it
    EXPECT_EQ(csvExport.Write(data, csv.file), C_PlotCsvExport::Step::Done);
    EXPECT_EQ(csv.Text(), "time,temp,fan,\xCF\x84\r\n"
                          "0.000,41.5,1200,\r\n"
                          "0.000,,1210,\r\n"
                          "1.234,-0.03,,1e+21\r\n"
                          "2.000,0.1,,\r\n");
    EXPECT_EQ(csvExport.RowsWritten(), 4u);
}

// Small steps, with the reader adding lines between them until the oldest points are dropped: the rows of what the
// data held at the start are all written, once each and in order, although their places in the series moved.
TEST(PlotCsv, StepsResumeWhereTheyEndedWhileOldPointsAreDropped) {
    TempFolder folder;
    CsvFile csv(folder);
    C_PlotData data(100);
    for (int i = 0; i < 100; ++i)
        Line(data, i * 1000, (i % 2 ? L"a=" : L"b=") + std::to_wstring(i));
    C_PlotCsvExport csvExport;
    csvExport.Begin(data);
    int steps = 0;
    C_PlotCsvExport::Step step;
    do {
        step = csvExport.Write(data, csv.file, 5);
        for (int k = 0; k < 4; ++k, ++steps)
            Line(data, 1000000 + steps, L"a=-1 b=-1");
    } while (step == C_PlotCsvExport::Step::More && steps < 1000);
    EXPECT_EQ(step, C_PlotCsvExport::Step::Done);
    EXPECT_EQ(csvExport.Percent(), 100u);
    std::istringstream rows(csv.Text());
    std::string row;
    std::getline(rows, row);
    EXPECT_EQ(row, "time,b,a\r");
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(std::getline(rows, row));
        char expected[64];
        snprintf(expected, sizeof expected, i % 2 ? "%d.%03d,,%d\r" : "%d.%03d,%d,\r", i / 1000, i % 1000, i);
        EXPECT_EQ(row, expected);
    }
    EXPECT_FALSE(std::getline(rows, row));
}

TEST(PlotCsv, AFailedWriteIsReportedAndAClearEndsTheExport) {
    TempFolder folder;
    C_PlotData data;
    Line(data, 1, L"a=1");
    C_PlotCsvExport csvExport;
    csvExport.Begin(data);
    C_File readOnly;
    std::wstring path = folder.Path(L"read-only.csv");
    ASSERT_TRUE(readOnly.Open(path.c_str(), C_File::MODE_WRITE_CREATE));
    readOnly.Close();
    ASSERT_TRUE(readOnly.Open(path.c_str(), C_File::MODE_READ));
    EXPECT_EQ(csvExport.Write(data, readOnly), C_PlotCsvExport::Step::WriteFailed);

    CsvFile csv(folder);
    csvExport.Begin(data);
    data.Clear();
    Line(data, 2, L"b=2");
    EXPECT_EQ(csvExport.Write(data, csv.file), C_PlotCsvExport::Step::Done);
    EXPECT_EQ(csv.Text(), "");
}

} // namespace
