#include "terminal/plot/PlotCsv.h"

#include "terminal/plot/PlotNumber.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int64_t kMicrosecondsPerMillisecond = 1000;
constexpr uint32_t kMaxNameBytes = 4 * PlotParser::kMaxNameLength + 1;

} // namespace

void C_PlotCsvExport::Begin(C_PlotData& data) {
    C_Lock lock(data.Lock());
    m_series = data.SeriesCount();
    m_generation = data.Generation();
    m_origin = data.Origin();
    m_newest = data.Newest();
    m_written = INT64_MIN;
    m_headerWritten = false;
    m_rows = 0;
}

void C_PlotCsvExport::Append(const char* text) {
    uint32_t length = uint32_t(strlen(text));
    if (!m_text.Reserve(m_text.Count() + length)) {
        m_outOfMemory = true;
        return;
    }
    memcpy(m_text.Data() + m_text.Count(), text, length);
    m_text.SetCount(m_text.Count() + length);
}

// Names hold letters, digits, '_', '.' and '-' only, so none needs quoting.
void C_PlotCsvExport::FormatHeader(const C_PlotData& data) {
    Append("time");
    for (uint32_t s = 0; s < m_series; ++s) {
        char name[kMaxNameBytes];
        int bytes =
            WideCharToMultiByte(CP_UTF8, 0, data.Series(s).Name(), -1, name, int(sizeof name), nullptr, nullptr);
        if (bytes <= 0)
            name[0] = 0;
        Append(",");
        Append(name);
    }
    Append("\r\n");
}

// A row's time is the smallest next time among the series; every series whose next point has it gives the row
// its value. Times are strictly increasing within a series, so the last row's time is all an export needs to
// find its place again while old points are dropped meanwhile.
bool C_PlotCsvExport::FormatRows(const C_PlotData& data, uint32_t maxRows) {
    uint32_t next[C_PlotData::kMaxSeries];
    for (uint32_t s = 0; s < m_series; ++s)
        next[s] = data.Series(s).FirstAfter(m_written);
    for (uint32_t row = 0; row < maxRows; ++row) {
        int64_t time = INT64_MAX;
        for (uint32_t s = 0; s < m_series; ++s) {
            const C_PlotSeries& series = data.Series(s);
            if (next[s] < series.Count() && series.TimeAt(next[s]) < time)
                time = series.TimeAt(next[s]);
        }
        if (time == INT64_MAX || time > m_newest)
            return true;
        char text[PlotNumber::kMaxText + 2];
        int64_t milliseconds = (time - m_origin) / kMicrosecondsPerMillisecond;
        snprintf(text, sizeof text, "%lu.%03u", static_cast<unsigned long>(milliseconds / 1000),
                 unsigned(milliseconds % 1000));
        Append(text);
        for (uint32_t s = 0; s < m_series; ++s) {
            const C_PlotSeries& series = data.Series(s);
            Append(",");
            if (next[s] < series.Count() && series.TimeAt(next[s]) == time) {
                PlotNumber::Format(series.ValueAt(next[s]++), text, sizeof text);
                Append(text);
            }
        }
        Append("\r\n");
        m_written = time;
        ++m_rows;
    }
    return false;
}

C_PlotCsvExport::Step C_PlotCsvExport::Write(C_PlotData& data, C_File& file, uint32_t maxRows) {
    m_text.Reset();
    m_outOfMemory = false;
    bool finished;
    {
        C_Lock lock(data.Lock());
        if (data.Generation() != m_generation)
            return Step::Done;
        if (!m_headerWritten) {
            FormatHeader(data);
            m_headerWritten = true;
        }
        finished = FormatRows(data, maxRows);
    }
    if (m_outOfMemory || (m_text.Count() && !file.Write(m_text.Count(), m_text.Data())))
        return Step::WriteFailed;
    return finished ? Step::Done : Step::More;
}

uint32_t C_PlotCsvExport::Percent() const {
    if (m_written == INT64_MIN || m_newest <= m_origin)
        return 0;
    int64_t done = m_written - m_origin;
    return uint32_t(done >= m_newest - m_origin ? 100 : done * 100 / (m_newest - m_origin));
}
