// velto-cli: the console companion of the terminal program.
#include "Commands.h"
#include "ExitStatus.h"

#include <windows.h>

#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

// Written without allocating: the failure may be that nothing more can be allocated.
void FailWith(const char* message) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, DWORD(strlen(message)), &written, nullptr);
}

} // namespace

// Nothing escapes as an uncaught exception: one line on standard error and exit status 1.
int wmain(int argc, wchar_t** argv) {
    try {
        std::vector<std::wstring> arguments(argv + 1, argv + argc);
        return RunCommandLine(arguments);
    } catch (const std::bad_alloc&) {
        FailWith("velto-cli: out of memory\r\n");
    } catch (const std::exception& failure) {
        FailWith("velto-cli: failed: ");
        FailWith(failure.what());
        FailWith("\r\n");
    } catch (...) {
        FailWith("velto-cli: failed\r\n");
    }
    return kExitWriteFailed;
}
