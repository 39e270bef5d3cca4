#include "velto-cli/run/PatternSearch.h"

#include "connection/threads/Event.h"
#include "velto-cli/run/ReceivedText.h"

#include <atomic>
#include <cstring>
#include <new>

struct C_PatternSearch::Job {
    std::shared_ptr<const std::wregex> pattern;
    std::wstring text;
    size_t from = 0;
    // Written by the search thread before it signals finished; read only after.
    std::atomic<Outcome> outcome{Outcome::Running};
    size_t begin = 0;
    size_t end = 0;
    std::wstring failure;
    C_Handle finished = CreateManualResetEvent();
};

bool C_PatternSearch::Start(std::shared_ptr<const std::wregex> pattern, std::wstring text, size_t from) {
    m_job = std::make_shared<Job>();
    m_job->pattern = std::move(pattern);
    m_job->text = std::move(text);
    m_job->from = from;
    if (!m_job->finished)
        return false;
    // The thread holds its own reference, so a search that outlives this object still has its text.
    auto* reference = new (std::nothrow) std::shared_ptr<Job>(m_job);
    if (!reference)
        return false;
    C_Handle thread(CreateThread(nullptr, kStackBytes, &C_PatternSearch::Main, reference,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) {
        delete reference;
        return false;
    }
    return true;
}

HANDLE C_PatternSearch::Finished() const {
    return m_job ? m_job->finished.Get() : nullptr;
}

C_PatternSearch::Outcome C_PatternSearch::Result(size_t& begin, size_t& end, std::wstring& failure) const {
    if (!m_job)
        return Outcome::Failed;
    const Outcome outcome = m_job->outcome.load();
    if (outcome != Outcome::Running) {
        begin = m_job->begin;
        end = m_job->end;
        failure = m_job->failure;
    }
    return outcome;
}

namespace {

template <class Job> void KeepReason(Job& job, const char* what) {
    try {
        job.failure.assign(what, what + strlen(what));
    } catch (...) {
        job.failure.clear();
    }
}

} // namespace

DWORD WINAPI C_PatternSearch::Main(void* reference) {
    std::shared_ptr<Job> job = std::move(*static_cast<std::shared_ptr<Job>*>(reference));
    delete static_cast<std::shared_ptr<Job>*>(reference);
    Outcome outcome = Outcome::Failed;
    // Nothing may escape this thread: the library's complaint (or its lack of memory) is the search's failure.
    try {
        outcome = C_ExpectText::Search(*job->pattern, job->text, job->from, job->begin, job->end) ? Outcome::Found
                                                                                                  : Outcome::NotFound;
    } catch (const std::exception& problem) {
        KeepReason(*job, problem.what());
    } catch (...) {
        KeepReason(*job, "unknown error");
    }
    job->outcome = outcome;
    SetEvent(job->finished.Get());
    return 0;
}
