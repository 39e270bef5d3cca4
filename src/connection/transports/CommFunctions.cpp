#include "connection/transports/CommFunctions.h"

C_CommFunctions& C_CommFunctions::System() {
    static C_CommFunctions s_system;
    return s_system;
}
