#include "terminal/plot/PlotAxis.h"

#include <windows.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr double kNiceSteps[] = {1, 2, 5, 10};
constexpr double kMinimumWidth = 1e-12; // relative: a flat series is widened by this much of its value at least
constexpr int64_t kMillisecond = 1000;
constexpr int64_t kSecond = 1000 * kMillisecond;
constexpr int64_t kMinute = 60 * kSecond;
constexpr int64_t kHour = 60 * kMinute;
constexpr int64_t kDay = 24 * kHour;
constexpr int64_t kTimeSteps[] = {1 * kMillisecond,
                                  2 * kMillisecond,
                                  5 * kMillisecond,
                                  10 * kMillisecond,
                                  20 * kMillisecond,
                                  50 * kMillisecond,
                                  100 * kMillisecond,
                                  200 * kMillisecond,
                                  500 * kMillisecond,
                                  kSecond,
                                  2 * kSecond,
                                  5 * kSecond,
                                  10 * kSecond,
                                  15 * kSecond,
                                  30 * kSecond,
                                  kMinute,
                                  2 * kMinute,
                                  5 * kMinute,
                                  10 * kMinute,
                                  15 * kMinute,
                                  30 * kMinute,
                                  kHour,
                                  2 * kHour,
                                  3 * kHour,
                                  6 * kHour,
                                  12 * kHour,
                                  kDay};
constexpr double kRoundingSlack = 1e-9;
constexpr double kFixedLimitHigh = 1e9; // beyond these labels use the exponent form
constexpr double kFixedLimitLow = 1e-6;

int64_t FloorMultiple(int64_t value, int64_t step) {
    int64_t remainder = value % step;
    return remainder < 0 ? value - remainder - step : value - remainder;
}

} // namespace

PlotAxis::Ticks PlotAxis::ValueTicks(double low, double high, uint32_t maxTicks) {
    if (maxTicks < 2)
        maxTicks = 2;
    if (!(low <= high)) {
        low = 0;
        high = 1;
    }
    if (high - low <= std::fabs(high) * kMinimumWidth || high == low) {
        double half = low == 0 ? 1 : std::fabs(low) * 0.1;
        low -= half;
        high += half;
    }
    double rough = (high - low) / double(maxTicks - 1);
    double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    Ticks ticks{};
    for (double nice : kNiceSteps) {
        double step = nice * magnitude;
        // A quotient a rounding away from a whole number is that number.
        double first = std::floor(low / step + kRoundingSlack) * step;
        double last = std::ceil(high / step - kRoundingSlack) * step;
        uint32_t count = uint32_t(std::llround((last - first) / step)) + 1;
        if (count <= maxTicks || nice == kNiceSteps[3]) {
            ticks = {first, step, count, 0};
            break;
        }
    }
    double digits = -std::floor(std::log10(ticks.step) + 1e-9);
    ticks.decimals = digits > 0 ? uint32_t(digits) : 0;
    return ticks;
}

void PlotAxis::FormatValue(double value, uint32_t decimals, wchar_t* out, uint32_t size) {
    double magnitude = std::fabs(value);
    if (magnitude != 0 && (magnitude >= kFixedLimitHigh || (magnitude < kFixedLimitLow && decimals > 6)))
        _snwprintf(out, size, L"%.3g", value);
    else
        _snwprintf(out, size, L"%.*f", int(decimals),
                   std::fabs(value) < 0.5 * std::pow(10.0, -double(decimals)) ? 0.0 : value);
    out[size - 1] = 0;
}

int64_t PlotAxis::TimeStep(int64_t span, uint32_t maxTicks) {
    if (maxTicks < 1)
        maxTicks = 1;
    for (int64_t step : kTimeSteps)
        if (span / step < int64_t(maxTicks))
            return step;
    int64_t days = span / (kDay * int64_t(maxTicks)) + 1;
    return days * kDay;
}

int64_t PlotAxis::FirstTimeTick(int64_t start, int64_t step, int64_t biasMicroseconds) {
    int64_t local = start + biasMicroseconds;
    int64_t tick = FloorMultiple(local, step);
    if (tick < local)
        tick += step;
    return tick - biasMicroseconds;
}

void PlotAxis::FormatTime(int64_t time, int64_t step, int64_t biasMicroseconds, wchar_t* out, uint32_t size) {
    int64_t local = time + biasMicroseconds;
    int64_t ofDay = FloorMultiple(local, kDay);
    int64_t inDay = local - ofDay;
    unsigned hours = unsigned(inDay / kHour);
    unsigned minutes = unsigned(inDay / kMinute % 60);
    unsigned seconds = unsigned(inDay / kSecond % 60);
    unsigned micro = unsigned(inDay % kSecond);
    if (step >= kSecond)
        _snwprintf(out, size, L"%02u:%02u:%02u", hours, minutes, seconds);
    else if (step >= 100 * kMillisecond)
        _snwprintf(out, size, L"%02u:%02u:%02u.%u", hours, minutes, seconds, micro / 100000);
    else if (step >= 10 * kMillisecond)
        _snwprintf(out, size, L"%02u:%02u:%02u.%02u", hours, minutes, seconds, micro / 10000);
    else
        _snwprintf(out, size, L"%02u:%02u:%02u.%03u", hours, minutes, seconds, micro / 1000);
    out[size - 1] = 0;
}

int64_t PlotAxis::LocalBias() {
    FILETIME utc, local;
    GetSystemTimeAsFileTime(&utc);
    if (!FileTimeToLocalFileTime(&utc, &local))
        return 0;
    auto value = [](const FILETIME& t) { return int64_t(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime); };
    return (value(local) - value(utc)) / 10;
}
