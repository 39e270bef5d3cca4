#include "maintenance/crash/StackWalk.h"

#include "maintenance/crash/CrashReportText.h"
#include "maintenance/crash/SymbolLibrary.h"

namespace {

constexpr DWORD kMachineX86 = 0x14C; // IMAGE_FILE_MACHINE_I386
// The system-call stubs of the shared user page: their frames say nothing about the crash.
constexpr DWORD64 kSharedPageStart = 0x7FFE0000;
constexpr DWORD64 kSharedPageSize = 0x10000;
// A corrupted stack can make the walker go round without its return address ever reaching 0.
constexpr unsigned kMaximumFrames = 256;

void SetFlat(ADDRESS64& address, DWORD64 offset) {
    address.Offset = offset;
    address.Segment = 0;
    address.Mode = AddrModeFlat;
}

} // namespace

bool AppendStack(const C_SymbolLibrary& symbols, HANDLE process, HANDLE thread, const CONTEXT& context,
                 C_CrashReportText& report) {
    if (!symbols.IsInitialized() || !report.BeginStack())
        return false;
    const C_SymbolLibrary::Functions& f = symbols.Get();
    CONTEXT walked = context; // the walker changes the context it is given
    STACKFRAME64 frame{};
    SetFlat(frame.AddrPC, context.Eip);
    SetFlat(frame.AddrFrame, context.Ebp);
    SetFlat(frame.AddrStack, context.Esp);
    DWORD64 previousPc = 0;
    for (unsigned count = 0; count < kMaximumFrames; ++count) {
        if (!f.StackWalk64(kMachineX86, process, thread, &frame, &walked, nullptr, f.SymFunctionTableAccess64,
                           f.SymGetModuleBase64, nullptr))
            break;
        DWORD64 pc = frame.AddrPC.Offset;
        if (count > 0 && pc == previousPc)
            break;
        previousPc = pc;
        if (pc - kSharedPageStart >= kSharedPageSize) {
            // A caller's program counter is a return address, the instruction after the call: its symbol and line
            // are those of the call, one byte back. After a call that never returns it would already lie in the
            // next function.
            DWORD64 lookup = count > 0 && pc > 0 ? pc - 1 : pc;
            StackFrameText text{};
            symbols.DescribeAddress(lookup, text.symbol, text.module);
            text.line = symbols.FindLine(lookup, text.file);
            for (int i = 0; i < 4; ++i)
                text.parameters[i] = frame.Params[i];
            if (!report.AppendFrame(text))
                return false;
        }
        if (frame.AddrReturn.Offset == 0)
            break;
    }
    return true;
}
