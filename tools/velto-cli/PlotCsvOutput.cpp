#include "PlotCsvOutput.h"

#include "Console.h"
#include "ExitStatus.h"
#include "terminal/plot/PlotCsv.h"

C_PlotCsvOutput::~C_PlotCsvOutput() {
    if (m_file.IsOpen() && !m_written) {
        m_file.Close();
        DeleteFileW(m_path.c_str());
    }
}

void C_PlotCsvOutput::AddOption(C_OptionTable& options) {
    options.AddText(L"--plot-csv", L"FILE",
                    L"also write the numbers of the lines as the plot's CSV: time, then a column per series", m_path);
}

bool C_PlotCsvOutput::Prepare(const std::wstring& commandName) {
    if (!IsWanted() || m_file.Open(m_path.c_str(), C_File::MODE_WRITE_CREATE))
        return true;
    Console::Error(L"velto-cli " + commandName + L": cannot write the plot's CSV to '" + m_path + L"'");
    return false;
}

void C_PlotCsvOutput::Attach(C_ReceiveAssembly& assembly) {
    if (!IsWanted())
        return;
    m_feed.SetCollecting(true);
    assembly.SetShownTextSink(&m_feed);
}

int C_PlotCsvOutput::Write(const std::wstring& commandName) {
    if (!IsWanted())
        return kExitSuccess;
    m_feed.FinishLine();
    C_PlotCsvExport csv;
    csv.Begin(m_data);
    C_PlotCsvExport::Step step;
    do
        step = csv.Write(m_data, m_file);
    while (step == C_PlotCsvExport::Step::More);
    m_file.Close();
    m_written = true;
    if (step == C_PlotCsvExport::Step::Done)
        return kExitSuccess;
    DeleteFileW(m_path.c_str());
    Console::Error(L"velto-cli " + commandName + L": writing the plot's CSV to '" + m_path + L"' failed");
    return kExitWriteFailed;
}
