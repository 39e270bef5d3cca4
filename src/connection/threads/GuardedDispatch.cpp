#include "connection/threads/GuardedDispatch.h"

#include "foundation/base/Trace.h"

#include <excpt.h>

// The i386 structured-exception model: a chain of registration records on the stack, headed by the thread
// information block. A handler that accepts an exception first lets the system unwind every record above its
// own (their handlers run with the unwinding flag), then resumes at its frame; this is what __except does.
#if defined(__i386__)

namespace {

struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD record; // must come first: the system hands the handler this address
    void* resume[5];                      // __builtin_setjmp buffer
    DWORD code;
};

// The block's own linear address sits at fs:0x18. (NtCurrentTeb reads the same but trips a compiler warning.)
NT_TIB* ThreadInformationBlock() {
    NT_TIB* tib;
    __asm__("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* exception, void* establisher, CONTEXT*, void*) {
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    GuardFrame* frame = static_cast<GuardFrame*>(establisher);
    frame->code = exception->ExceptionCode;
    RtlUnwind(establisher, nullptr, exception, nullptr); // returns here with our record at the head again
    __builtin_longjmp(frame->resume, 1);
}

// Kept out of line so the resume point and the registration live in one frame that the handler jumps back to.
__attribute__((noinline)) bool RunGuarded(const MSG* message, GuardFrame* frame) {
    NT_TIB* tib = ThreadInformationBlock();
    frame->code = 0;
    frame->record.Handler = reinterpret_cast<PEXCEPTION_ROUTINE>(&GuardHandler);
    frame->record.Next = tib->ExceptionList;
    if (__builtin_setjmp(frame->resume) == 0) {
        *static_cast<EXCEPTION_REGISTRATION_RECORD* volatile*>(&tib->ExceptionList) = &frame->record;
        TranslateMessage(message);
        DispatchMessageW(message);
        *static_cast<EXCEPTION_REGISTRATION_RECORD* volatile*>(&tib->ExceptionList) = frame->record.Next;
        return true;
    }
    *static_cast<EXCEPTION_REGISTRATION_RECORD* volatile*>(&tib->ExceptionList) = frame->record.Next;
    return false;
}

} // namespace

bool DispatchGuarded(const MSG& message, DWORD* exceptionCode) {
    GuardFrame frame{};
    const bool normal = RunGuarded(&message, &frame);
    if (!normal) {
        Trace("window message 0x%04X raised exception 0x%08lX while dispatched; dispatching goes on", message.message,
              static_cast<unsigned long>(frame.code));
        if (exceptionCode)
            *exceptionCode = frame.code;
    }
    return normal;
}

#else

bool DispatchGuarded(const MSG& message, DWORD* exceptionCode) {
    (void)exceptionCode;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

#endif
