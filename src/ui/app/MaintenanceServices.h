#pragma once
// The main window's seam to the maintenance services, filled in by the program's entry point, the one place
// that sees both the user interface and the services.
#include "foundation/settings/Options.h"
#include "maintenance/update/AutoUpdate.h"
#include "maintenance/crash/Diagnostics.h"
#include "maintenance/crash/ReportUpload.h"
#include "maintenance/service/UpdateAddress.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/StringTable.h"
#include "ui/window/ServiceHooks.h"

// The update check's host in the program: the system's answers, its notices in the interface's language.
class C_ProgramUpdateHost final : public C_UpdateHost {
public:
    bool GetFailureFormat(UpdateFailure failure, C_String& out) override {
        C_StringTable strings;
        return strings.LoadString(
            failure == UpdateFailure::FolderLocked ? IDS_UPDATE_FOLDER_LOCKED : IDS_UPDATE_NOT_INSTALLED, out);
    }
};

class C_MaintenanceServices final : public C_ServiceHooks {
public:
    explicit C_MaintenanceServices(C_Diagnostics& diagnostics) : m_diagnostics(diagnostics) {}

    // The window names its icon and the report's path; the server is the report service's own.
    void ConfigureProblemReport(UINT iconId, const wchar_t* reportPath) override {
        C_String host;
        ResolveReportHost(HKEY_CURRENT_USER, kSettingsKeyPath, host);
        m_diagnostics.Configure(iconId, host.c_str(), reportPath, nullptr, nullptr);
    }
    // The window names itself and where the time of the last check is kept; the server is the update
    // service's own (or a test's server on this machine).
    void StartUpdateCheck(HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName) override {
        C_String address;
        if (ResolveUpdateAddress(root, keyPath, address))
            m_update.Start(address.c_str(), window, root, keyPath, valueName);
    }
    void StopUpdateCheck() override { m_update.Stop(); }
    // Once the main window is gone: false when the check still waits on a server and was given up on.
    bool UpdateCheckEnded() { return m_update.Stop(); }

private:
    C_Diagnostics& m_diagnostics;
    C_ProgramUpdateHost m_updateHost;
    C_AutoUpdate m_update{m_updateHost};
};
