#include "maintenance/crash/ReportUpload.h"

#include "maintenance/http/HttpForm.h"
#include "maintenance/http/HttpRequest.h"
#include "maintenance/service/UpdateAddress.h"
#include "foundation/settings/Settings.h"
#include "platform/formats/VersionResource.h"
#include "platform/system/Handles.h"

#include <cwchar>
#include <new>

namespace {

constexpr WORD kReportPort = 80;
constexpr const wchar_t* kReportKind = L"r";
constexpr const wchar_t* kFileVersionValue = L"FileVersion";
constexpr unsigned long kHighestPort = 65535;
constexpr const wchar_t* kHttpScheme = L"http://";

} // namespace

bool SplitHostPort(const wchar_t* text, WORD defaultPort, C_String& host, WORD& port) {
    port = defaultPort;
    if (!host.Assign(text ? text : L""))
        return false;
    int colon = host.ReverseFindChar(L':');
    // More than one colon is an IPv6 address without a port.
    if (colon <= 0 || host.FindChar(L':') != colon || host.GetAt(colon + 1) == 0)
        return true;
    const wchar_t* digits = host.c_str() + colon + 1;
    wchar_t* end = nullptr;
    unsigned long value = wcstoul(digits, &end, 10);
    if (*end || value == 0 || value > kHighestPort || !iswdigit(*digits))
        return true;
    port = WORD(value);
    host.Left(colon);
    return true;
}

bool ResolveReportHost(HKEY root, const wchar_t* keyPath, C_String& out) {
    C_Settings settings;
    C_String override, address;
    if (settings.Open(C_Settings::BACKEND_REGISTRY, root, keyPath) &&
        settings.ReadString(kReportServerValue, override) && !override.IsEmpty() && override.FindChar(L'/') < 0 &&
        address.Assign(kHttpScheme) && address.Append(override) && IsLoopbackAddress(address.c_str()))
        return out.Assign(override);
    return out.Assign(kReportHost);
}

bool PostReport(const ReportUpload& upload) {
    C_VersionResource version;
    version.Load(GetModuleHandleW(nullptr));
    const wchar_t* fileVersion = version.GetProgramString(kFileVersionValue);
    struct Field {
        const wchar_t* name;
        const wchar_t* value;
    };
    const Field fields[] = {
        {L"a", kReportKind},
        {L"p", upload.productName},
        {L"s", upload.extra},
        {L"v", fileVersion ? fileVersion : L""},
        {L"g", upload.machineIdentifier},
        {L"e", upload.email},
        {L"x", upload.description},
    };
    C_HttpForm form;
    for (const Field& field : fields)
        if (!form.AddField(field.name, field.value, FORM_TEXT_FIELD))
            return false;
    // A crash file that could not be written is left out; the report still goes.
    if (upload.dumpPath)
        form.AddFile(L"d", upload.dumpPath);
    form.AddFile(L"t", upload.textPath);

    C_String host, response;
    WORD port;
    if (!SplitHostPort(upload.host, kReportPort, host, port))
        return false;
    HttpRequest request;
    request.host = host.c_str();
    request.path = upload.path;
    request.agent = L"";
    request.response = &response;
    request.port = port;
    request.service = SERVICE_HTTP;
    request.timeout = kReportTimeoutMs;
    request.maxBytes = kReportAnswerLimit;
    C_HttpClient client;
    return PostForm(client, form, request, nullptr, FORM_CLOSE);
}

namespace {

// The texts of an upload, each copied into the job of the thread that sends it.
constexpr const wchar_t* ReportUpload::*kUploadTexts[] = {&ReportUpload::host,
                                                          &ReportUpload::path,
                                                          &ReportUpload::productName,
                                                          &ReportUpload::extra,
                                                          &ReportUpload::machineIdentifier,
                                                          &ReportUpload::email,
                                                          &ReportUpload::description,
                                                          &ReportUpload::dumpPath,
                                                          &ReportUpload::textPath};
constexpr size_t kUploadTextCount = sizeof kUploadTexts / sizeof kUploadTexts[0];

// Everything the upload reads, owned by its thread's job so that a job given up on stays valid.
struct UploadJob {
    C_String texts[kUploadTextCount];
    ReportUpload upload{};
    volatile LONG sent = 0;

    bool Copy(const ReportUpload& from) {
        for (size_t i = 0; i < kUploadTextCount; ++i) {
            const wchar_t* text = from.*kUploadTexts[i];
            if (!text)
                continue; // stays null, as a missing dump does
            if (!texts[i].Assign(text))
                return false;
            upload.*kUploadTexts[i] = texts[i].c_str();
        }
        return true;
    }

    static DWORD WINAPI Run(void* self) {
        auto* job = static_cast<UploadJob*>(self);
        job->sent = PostReport(job->upload) ? 1 : 0;
        return 0;
    }
};

} // namespace

bool PostReportWithin(const ReportUpload& upload, DWORD limitMs) {
    auto* job = new (std::nothrow) UploadJob;
    if (!job || !job->Copy(upload)) {
        delete job;
        return false;
    }
    C_Handle thread(CreateThread(nullptr, 0, &UploadJob::Run, job, 0, nullptr));
    if (!thread) {
        delete job;
        return false;
    }
    if (WaitForSingleObject(thread.Get(), limitMs) != WAIT_OBJECT_0)
        return false; // the job stays with its thread
    const bool sent = job->sent != 0;
    delete job;
    return sent;
}
