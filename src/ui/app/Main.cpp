// velto.exe: runs the main window, which is the program.
// The main window first: its connection's socket headers must precede the system's general header.
#include "ui/window/MainFrame.h"

#include "MaintenanceServices.h"

namespace {

// Built before anything else of the program, so a crash anywhere after it is reported.
C_Diagnostics g_diagnostics;
C_MaintenanceServices g_services(g_diagnostics);
// The program's one long-lived object, built before the entry point runs and torn down after it returns.
C_MainFrame g_mainFrame(g_services);

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const int result = int(g_mainFrame.Run(instance));
    // An update check still blocked on a server that does not answer is not waited for: the settings are
    // written, and the process ends here, taking the check's thread with it, before anything it uses is torn
    // down.
    if (!g_services.UpdateCheckEnded())
        ExitProcess(UINT(result));
    return result;
}
