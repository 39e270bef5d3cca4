// velto.exe: runs the main window, which is the program.
// The main window first: its connection's socket headers must precede the system's general header.
#include "ui/window/MainDialog.h"

#include "MaintenanceServices.h"

namespace {

// Built before anything else of the program, so a crash anywhere after it is reported.
C_Diagnostics g_diagnostics;
C_MaintenanceServices g_services(g_diagnostics);
// The program's one long-lived object, built before the entry point runs and torn down after it returns.
C_MainDialog g_mainDialog(g_services);

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return int(g_mainDialog.Run(instance));
}
