// velto-cli: the console companion of the terminal program.
#include "Commands.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    return RunCommandLine(arguments);
}
