#pragma once
// The plot's scales: round steps for the value axis (1, 2 or 5 times a power of ten) and for the time axis
// (milliseconds to hours, in steps a clock reads well), and the tick labels.
#include <cstdint>

namespace PlotAxis {

struct Ticks {
    double first; // the lowest tick, at or below the range's low end
    double step;
    uint32_t count;    // ticks from first to the last, at or above the range's high end
    uint32_t decimals; // enough to tell neighbouring ticks apart
};

// At most maxTicks ticks (at least 2) that enclose [low, high]. A range of one value is widened around it.
Ticks ValueTicks(double low, double high, uint32_t maxTicks);
// The value at tick i of ticks.
inline double TickValue(const Ticks& ticks, uint32_t i) {
    return ticks.first + ticks.step * double(i);
}
// "1200", "0.25", "-3.5", "1.5e+06" for very large or small steps; size at least kMaxLabel.
constexpr uint32_t kMaxLabel = 32;
void FormatValue(double value, uint32_t decimals, wchar_t* out, uint32_t size);

// The step between time ticks, in microseconds, for at most maxTicks ticks over span microseconds.
int64_t TimeStep(int64_t span, uint32_t maxTicks);
// The first tick at or after start: a multiple of step in local time, so a clock label ends in round digits.
// biasMicroseconds is what local time adds to UTC.
int64_t FirstTimeTick(int64_t start, int64_t step, int64_t biasMicroseconds);
// "14:05:30", with fractions of a second when the step is below one ("14:05:30.25"), from microseconds since
// 1601 as the plot clock counts them, in local time.
void FormatTime(int64_t time, int64_t step, int64_t biasMicroseconds, wchar_t* out, uint32_t size);
// What local time adds to UTC now, in microseconds.
int64_t LocalBias();

} // namespace PlotAxis
