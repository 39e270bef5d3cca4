#include "foundation/base/Trace.h"

#include <cstdarg>
#include <cstdio>

static TraceSink s_traceSink = nullptr;

void SetTraceSink(TraceSink sink) {
    s_traceSink = sink;
}

void Trace(const char* format, ...) {
    if (!s_traceSink)
        return;
    char message[1024];
    va_list args;
    va_start(args, format);
    _vsnprintf(message, sizeof message - 1, format, args);
    va_end(args);
    message[sizeof message - 1] = 0;
    s_traceSink(message);
}
