// The comparison for the receive benchmark: the same generated inputs through libvterm, an open terminal
// engine, built natively for the host (libvterm is a Linux library). Two layers are measured: the parser with
// the state layer (escape sequences, cursor, pen and UTF-8, no cell storage), and the screen layer on top
// (cells kept for a 120-column screen). Neither keeps scroll-back. Processor time of the thread, median of
// several runs; one "RESULT" line per input and layer for scripts/bench.
#include "../BenchInputs.h"

#include <vterm.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

constexpr int kRows = 50;

double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

enum class Layer { State, Screen };

double MegabytesPerSecond(const std::string& input, Layer layer) {
    std::vector<double> rates;
    for (int run = 0; run < BenchInputs::kRuns; ++run) {
        VTerm* vt = vterm_new(kRows, BenchInputs::kColumns);
        vterm_set_utf8(vt, 1);
        if (layer == Layer::State) {
            vterm_state_reset(vterm_obtain_state(vt), 1);
        } else {
            VTermScreen* screen = vterm_obtain_screen(vt);
            vterm_screen_reset(screen, 1);
        }
        double start = ThreadSeconds();
        for (size_t at = 0; at < input.size(); at += BenchInputs::kBlockSize)
            vterm_input_write(vt, input.data() + at, std::min<size_t>(BenchInputs::kBlockSize, input.size() - at));
        double seconds = ThreadSeconds() - start;
        vterm_free(vt);
        rates.push_back(double(input.size()) / 1e6 / seconds);
    }
    std::sort(rates.begin(), rates.end());
    return rates[rates.size() / 2];
}

} // namespace

int main() {
    for (const BenchInputs::Input& input : BenchInputs::kInputs) {
        std::string data = BenchInputs::Generate(input.line);
        printf("RESULT %s libvterm-state %.1f\n", input.key, MegabytesPerSecond(data, Layer::State));
        printf("RESULT %s libvterm-screen %.1f\n", input.key, MegabytesPerSecond(data, Layer::Screen));
        fflush(stdout);
    }
    return 0;
}
