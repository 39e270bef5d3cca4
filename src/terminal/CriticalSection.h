#pragma once
// C_CriticalSection and C_Lock live with the other ownership wrappers.
#include "platform/Handles.h"
