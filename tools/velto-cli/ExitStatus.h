#pragma once

enum ExitStatus : int {
    kExitSuccess = 0,
    kExitWriteFailed = 1, // the output could not be written completely, or memory ran out
    kExitUsage = 2,       // bad arguments or input; nothing was written
};
