#pragma once
// The main window's seam to the maintenance services, filled in by the program's entry point, the one place
// that sees both the user interface and the services.
#include "foundation/Options.h"
#include "maintenance/Diagnostics.h"
#include "maintenance/ReportUpload.h"
#include "ui/ServiceHooks.h"

class C_MaintenanceServices final : public C_ServiceHooks {
public:
    explicit C_MaintenanceServices(C_Diagnostics& diagnostics) : m_diagnostics(diagnostics) {}

    // The window names its icon and the report's path; the server is the report service's own.
    void ConfigureProblemReport(UINT iconId, const wchar_t* reportPath) override {
        C_String host;
        ResolveReportHost(HKEY_CURRENT_USER, kSettingsKeyPath, host);
        m_diagnostics.Configure(iconId, host.c_str(), reportPath, nullptr, nullptr);
    }
    // The update check is not wired yet: its requests are accepted and ignored.
    void StartUpdateCheck(HWND, HKEY, const wchar_t*, const wchar_t*) override {}
    void StopUpdateCheck() override {}

private:
    C_Diagnostics& m_diagnostics;
};
