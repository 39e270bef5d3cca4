// velto-cli replay: a captured stream of received bytes goes through the same receive path as a serial
// port's data, as one block, and the resulting store is written out.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"
#include "Input.h"
#include "StoreOutput.h"
#include "terminal/ReceiveAssembly.h"

namespace {

const wchar_t kCommand[] = L"replay";

void Fail(const std::wstring& message) {
    Console::Error(std::wstring(L"velto-cli replay: ") + message);
}

} // namespace

std::wstring ReplayHelp() {
    StoreOutputOptions values;
    C_OptionTable options;
    AddStoreOutputOptions(options, values);
    return L"velto-cli replay [options] INPUT\r\n"
           L"  Replays INPUT, a file of raw received bytes (- for standard input), through the terminal's\r\n"
           L"  escape interpreter into a line store and writes the store as the Save command would.\r\n"
           L"Options:\r\n" +
           options.Help();
}

int RunReplay(const std::vector<std::wstring>& arguments) {
    StoreOutputOptions values;
    C_OptionTable options;
    AddStoreOutputOptions(options, values);
    std::wstring inputName, error;
    if (!options.ParseWithOne(arguments, L"INPUT", L" (a file of received bytes, or - for standard input)", inputName,
                              error)) {
        Fail(error);
        return kExitUsage;
    }
    error = CheckStoreOutputOptions(values);
    if (!error.empty()) {
        Fail(error);
        return kExitUsage;
    }
    std::string input;
    if (!ReadInput(inputName, input, error)) {
        Fail(error);
        return kExitUsage;
    }

    C_ReceiveOptions receiving;
    C_LineStore store;
    C_ReceiveAssembly assembly(store);
    receiving.Apply(values, store, assembly);
    assembly.ResetFlushTime();
    assembly.ProcessReceivedData(reinterpret_cast<const uint8_t*>(input.data()), uint32_t(input.size()));
    // What is still pending is flushed as the idle flush would, without waiting for it.
    assembly.FlushPendingLine(true, false);
    return WriteStoreOutput(store, values, kCommand);
}
