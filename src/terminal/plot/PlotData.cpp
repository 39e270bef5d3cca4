#include "terminal/plot/PlotData.h"

#include "foundation/base/Memory.h"

#include <cstdio>
#include <cwchar>

namespace {

// "1" to "16": the name of a number by its position.
void PositionName(uint32_t position, wchar_t (&name)[PlotParser::kMaxNameLength + 1]) {
    _snwprintf(name, PlotParser::kMaxNameLength, L"%u", position);
    name[PlotParser::kMaxNameLength] = 0;
}

bool SameName(const wchar_t* stored, const PlotParser::Sample& sample) {
    if (sample.name)
        return wcsncmp(stored, sample.name, sample.nameLength) == 0 && stored[sample.nameLength] == 0;
    wchar_t name[PlotParser::kMaxNameLength + 1];
    PositionName(sample.position, name);
    return wcscmp(stored, name) == 0;
}

} // namespace

// --- one series --------------------------------------------------------------------------------------------

C_PlotSeries::~C_PlotSeries() {
    Release();
}

void C_PlotSeries::Release() {
    Memory::Release(m_times);
    Memory::Release(m_values);
    m_times = nullptr;
    m_values = nullptr;
    m_capacity = m_start = m_count = 0;
    m_dropped = 0;
}

void C_PlotSeries::Start(const wchar_t* name, uint32_t length, uint32_t limit) {
    Release();
    wcsncpy(m_name, name, length);
    m_name[length] = 0;
    m_limit = limit;
}

// The points move to new blocks in order, oldest first; when memory cannot be had the series keeps the room it
// has and drops its oldest points from then on.
bool C_PlotSeries::Grow() {
    uint64_t wanted = m_capacity ? 2ull * m_capacity : kFirstCapacity;
    uint32_t capacity = uint32_t(wanted < m_limit ? wanted : m_limit);
    if (capacity <= m_capacity)
        return false;
    auto* times = static_cast<int64_t*>(Memory::Reallocate(nullptr, size_t(capacity) * sizeof(int64_t)));
    auto* values =
        times ? static_cast<double*>(Memory::Reallocate(nullptr, size_t(capacity) * sizeof(double))) : nullptr;
    if (!values) {
        Memory::Release(times);
        m_limit = m_capacity ? m_capacity : m_limit;
        return false;
    }
    for (uint32_t i = 0; i < m_count; ++i) {
        times[i] = TimeAt(i);
        values[i] = ValueAt(i);
    }
    Memory::Release(m_times);
    Memory::Release(m_values);
    m_times = times;
    m_values = values;
    m_capacity = capacity;
    m_start = 0;
    return true;
}

void C_PlotSeries::Append(int64_t time, double value) {
    if (m_count == m_capacity && !Grow()) {
        if (!m_capacity)
            return; // not even the first block: the point is lost, the next line tries again
        m_start = m_start + 1 < m_capacity ? m_start + 1 : 0;
        --m_count;
        ++m_dropped;
    }
    uint32_t at = Physical(m_count);
    m_times[at] = time;
    m_values[at] = value;
    ++m_count;
}

uint32_t C_PlotSeries::FirstAtOrAfter(int64_t time) const {
    uint32_t low = 0, high = m_count;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (TimeAt(middle) < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

uint32_t C_PlotSeries::FirstAfter(int64_t time) const {
    return time == INT64_MAX ? m_count : FirstAtOrAfter(time + 1);
}

uint32_t C_PlotSeries::Runs(uint32_t from, uint32_t to, Run (&runs)[2]) const {
    if (to > m_count)
        to = m_count;
    if (from >= to)
        return 0;
    uint32_t first = Physical(from);
    uint32_t count = to - from;
    uint32_t untilWrap = m_capacity - first;
    if (count <= untilWrap) {
        runs[0] = {m_times + first, m_values + first, count};
        return 1;
    }
    runs[0] = {m_times + first, m_values + first, untilWrap};
    runs[1] = {m_times, m_values, count - untilWrap};
    return 2;
}

// --- all series --------------------------------------------------------------------------------------------

uint32_t C_PlotData::Find(const wchar_t* name) const {
    for (uint32_t i = 0; i < m_seriesCount; ++i)
        if (wcscmp(m_series[i].Name(), name) == 0)
            return i;
    return kMaxSeries;
}

uint32_t C_PlotData::SeriesFor(const PlotParser::Sample& sample) {
    for (uint32_t i = 0; i < m_seriesCount; ++i)
        if (SameName(m_series[i].Name(), sample))
            return i;
    if (m_seriesCount == kMaxSeries)
        return kMaxSeries;
    C_PlotSeries& series = m_series[m_seriesCount];
    if (sample.name) {
        series.Start(sample.name, sample.nameLength, m_pointLimit);
    } else {
        wchar_t name[PlotParser::kMaxNameLength + 1];
        PositionName(sample.position, name);
        series.Start(name, uint32_t(wcslen(name)), m_pointLimit);
    }
    return m_seriesCount++;
}

uint32_t C_PlotData::AddLine(int64_t time, const PlotParser::Sample* samples, uint32_t count) {
    if (!count)
        return 0;
    C_Lock lock(m_lock);
    if (m_seriesCount == 0 || time < m_origin)
        m_origin = time;
    m_newest = time;
    uint32_t taken = 0;
    uint32_t seenInLine = 0; // a bit per series
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index = SeriesFor(samples[i]);
        if (index == kMaxSeries)
            continue;
        C_PlotSeries& series = m_series[index];
        if (seenInLine & (1u << index)) {
            series.ReplaceLast(samples[i].value);
        } else {
            series.Append(time, samples[i].value);
            seenInLine |= 1u << index;
        }
        ++taken;
    }
    m_revision.fetch_add(1, std::memory_order_release);
    return taken;
}

void C_PlotData::Clear() {
    C_Lock lock(m_lock);
    for (uint32_t i = 0; i < m_seriesCount; ++i)
        m_series[i].Release();
    m_seriesCount = 0;
    m_origin = m_newest = 0;
    ++m_generation;
    m_revision.fetch_add(1, std::memory_order_release);
}
