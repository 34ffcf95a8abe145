#include "NewVersionProof.h"

#include "PathUtil.h"
#include "RegistryTable.h"
#include "ProgramIdentity.h"
#include "StartProgram.h"
#include "UpdateLog.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {
// Setup's own: the version of its Apps & Features entry.
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pendlemark";
const char kProgramFiles[][16] = {"cvlx.exe", "CVLHelp.htm"}; // beside the program, set aside with it
// The proof ends within its limits and a little more. A new version waits that long for it at most;
// the set-aside files stay when it has not ended by then (the next setup makes room for its own).
constexpr DWORD kProofEndsWithinMs = 120000;
// Once the new version says it is resident, its window is asked this often whether it answers.
constexpr DWORD kAskEveryMs = 100;
constexpr DWORD kAnswerWithinMs = 5000;
// A new version asked to quit before it was resident gets this long to end by itself.
constexpr DWORD kQuitWithinMs = 5000;
// An ended process's image is let go of a moment after it has ended.
constexpr DWORD kEndWithinMs = 5000;
constexpr DWORD kRetryMs = 100;
constexpr int kRetries = 50;

std::string ObjectName(const char* kind, DWORD processId) {
    return std::string(kind) + "-" + std::to_string(processId);
}
const char kProofMutex[] = "CVLProof";
const char kResidentEvent[] = "CVLResident";

struct ProofWaiter {
    CHandle proof;
    std::function<void()> removeSetAside;
};

DWORD WINAPI AwaitProofEnd(LPVOID parameter) {
    std::unique_ptr<ProofWaiter> waiter(static_cast<ProofWaiter*>(parameter));
    // Abandoned: the watcher ended while it watched; this version is the one that runs.
    const DWORD result = ::WaitForSingleObject(waiter->proof.Get(), kProofEndsWithinMs);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED)
        return 1;
    ::ReleaseMutex(waiter->proof.Get());
    waiter->removeSetAside();
    return 0;
}

DWORD ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return code;
}

// Replaces path with the file set aside as path.old; a process that has just ended may still hold its
// image for a moment. FALSE with the system's error.
bool MoveBack(const CString& path, int& retries, DWORD& error) {
    const CString old = path + ".old";
    while (!::MoveFileExA(old.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || retries-- <= 0)
            return false;
        ::Sleep(kRetryMs);
    }
    return true;
}
} // namespace

void CNewVersionProof::NoteRecords() {
    m_displayVersion = ReadStoredRegistryValue(HKEY_CURRENT_USER, kUninstallKey, "DisplayVersion");
    m_record = ReadStoredRegistryValue(HKEY_CURRENT_USER, kPackagesKeyPath, "Pendlemark");
    m_noted = true;
}

BOOL CNewVersionProof::Start(const CString& path, std::uint64_t previousVersion, std::uint64_t run) {
    Close();
    m_path = path;
    m_previousVersion = previousVersion;
    m_run = run;
    m_newVersion = CProgramIdentity::Of(path).m_version;
    // Held from before the start, so that a request to quit is never missed however early it comes.
    m_shutdown.Reset(::CreateEventA(nullptr, TRUE, FALSE, "CVLShutdown"));
    CString commandLine = "\"" + path + "\" /AfterUpdate";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    DWORD error = 0;
    if (::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                         nullptr, &startup, &started)) {
        CHandle thread(started.hThread);
        m_process.Reset(started.hProcess);
        m_processId = started.dwProcessId;
        m_started = ::GetTickCount64();
        // Made before the new version runs, so that it finds both: a name of its id that exists already
        // is not ours.
        ::SetLastError(ERROR_SUCCESS);
        m_proof.Reset(::CreateMutexA(nullptr, TRUE, ObjectName(kProofMutex, m_processId).c_str()));
        if (::GetLastError() == ERROR_ALREADY_EXISTS)
            m_proof.Close();
        ::SetLastError(ERROR_SUCCESS);
        m_resident.Reset(
            ::CreateEventA(nullptr, TRUE, FALSE, ObjectName(kResidentEvent, m_processId).c_str()));
        if (::GetLastError() == ERROR_ALREADY_EXISTS || !m_proof)
            m_resident.Close();
        if (!m_resident)
            m_proof.Close();
        if (::ResumeThread(thread.Get()) != static_cast<DWORD>(-1)) {
            if (m_proof) {
                Log(ProofStartLine(m_newVersion, m_processId));
                return TRUE;
            }
            // Nothing to prove it with: it starts as it always did, and cleans up at once.
            Close();
            return TRUE;
        }
        error = ::GetLastError();
        ::TerminateProcess(m_process.Get(), error);
        ::WaitForSingleObject(m_process.Get(), kEndWithinMs);
    } else {
        error = ::GetLastError();
    }
    // This instance is still resident, now from the previous files again.
    Log(ProofEndLine(ProofEnd::NotStarted, m_newVersion, error));
    std::string notBack;
    DWORD failure = 0;
    PutBack(notBack, failure);
    Log(PutBackLine(m_previousVersion, false, notBack, failure));
    Close();
    return FALSE;
}

bool CNewVersionProof::Answers(DWORD timeoutMs) const {
    // Its main window: titled Pendlemark and owned by its process, which a title alone never proves.
    HWND window = nullptr;
    while ((window = ::FindWindowExA(nullptr, window, nullptr, "Pendlemark")) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == m_processId)
            break;
    }
    DWORD_PTR result = 0;
    return window && ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs,
                                           &result) != 0;
}

ProofEnd CNewVersionProof::Watch(DWORD& code) {
    std::vector<HANDLE> handles;
    if (m_shutdown)
        handles.push_back(m_shutdown.Get()); // first, so that it wins over the end it causes
    const DWORD processAt = static_cast<DWORD>(handles.size());
    handles.push_back(m_process.Get());
    const DWORD residentAt = static_cast<DWORD>(handles.size());
    handles.push_back(m_resident.Get());
    const ULONGLONG residentBy = m_started + kResidentWithinMs;
    bool says = false; // it has signalled that it is resident: its window is asked
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < residentBy ? static_cast<DWORD>(residentBy - now) : 0;
        const DWORD result = ::WaitForMultipleObjects(says ? residentAt : residentAt + 1, handles.data(),
                                                      FALSE, says ? std::min(left, kAskEveryMs) : left);
        if (m_shutdown && result == WAIT_OBJECT_0) {
            // Not resident yet, it may not see the request: one that does not end is ended.
            if (::WaitForSingleObject(m_process.Get(), kQuitWithinMs) != WAIT_OBJECT_0) {
                ::TerminateProcess(m_process.Get(), ERROR_CANCELLED);
                ::WaitForSingleObject(m_process.Get(), kEndWithinMs);
            }
            return ProofEnd::ShutDown;
        }
        if (result == WAIT_OBJECT_0 + processAt) {
            code = ExitCodeOf(m_process.Get());
            return ProofEnd::EndedUnresident;
        }
        says = says || result == WAIT_OBJECT_0 + residentAt;
        if (says && left > 0 && Answers(std::min(left, kAnswerWithinMs)))
            break;
        if (result == WAIT_FAILED)
            ::Sleep(kAskEveryMs);
        if (::GetTickCount64() >= residentBy) {
            ::TerminateProcess(m_process.Get(), ERROR_TIMEOUT);
            ::WaitForSingleObject(m_process.Get(), kEndWithinMs);
            return ProofEnd::NotResident;
        }
    }
    // Resident: its own scheduler answers a request to quit.
    const DWORD result = ::WaitForMultipleObjects(residentAt, handles.data(), FALSE, kStillRunningMs);
    if (m_shutdown && result == WAIT_OBJECT_0)
        return ProofEnd::ShutDown;
    if (result == WAIT_OBJECT_0 + processAt) {
        code = ExitCodeOf(m_process.Get());
        return ProofEnd::EndedEarly;
    }
    return ProofEnd::Proven;
}

void CNewVersionProof::Finish() {
    if (!Pending())
        return;
    DWORD code = 0;
    const ProofEnd end = Watch(code);
    Log(ProofEndLine(end, m_newVersion, code));
    if (!PutsPreviousBack(end)) {
        // The new version may delete the set-aside files now.
        ::ReleaseMutex(m_proof.Get());
        Close();
        return;
    }
    // The new version has ended; the proof stays held until the previous files are back.
    std::string notBack;
    DWORD error = 0;
    const bool programBack = PutBack(notBack, error);
    // It checks for nothing at its start: the failed package stays recorded as the last one, so a check
    // would find nothing new. Not while every instance is asked to quit.
    const bool restart =
        programBack && !(m_shutdown && ::WaitForSingleObject(m_shutdown.Get(), 0) == WAIT_OBJECT_0);
    const bool restarted = restart && StartProgram(m_path, "/NoUpdateOnStartup");
    Log(PutBackLine(m_previousVersion, restarted, notBack, error));
    Close();
}

bool CNewVersionProof::PutBack(std::string& notBack, DWORD& error) {
    const CString directory = DirectoryOf(m_path);
    int retries = kRetries;
    const auto failed = [&](const std::string& what, DWORD why) {
        if (notBack.empty()) {
            notBack = what;
            error = why;
        }
    };
    DWORD why = 0;
    const bool programBack = !directory.empty() && MoveBack(m_path, retries, why);
    if (!programBack)
        failed(m_path.substr(directory.size()), why);
    for (const char* name : kProgramFiles) {
        const CString path = JoinPath(directory, name);
        // One that was not there before setup was not set aside either.
        if (path.empty() || ::GetFileAttributesA((path + ".old").c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (!MoveBack(path, retries, why))
            failed(name, why);
    }
    if (m_noted) {
        if (!WriteStoredRegistryValue(HKEY_CURRENT_USER, kUninstallKey, "DisplayVersion", m_displayVersion))
            failed("the uninstall entry's DisplayVersion", ::GetLastError());
        if (!WriteStoredRegistryValue(HKEY_CURRENT_USER, kPackagesKeyPath, "Pendlemark", m_record))
            failed("the record of product Pendlemark", ::GetLastError());
    }
    return programBack;
}

void CNewVersionProof::Log(const std::string& line) const {
    CUpdateLog log;
    log.Resume(m_run);
    log.Write(line);
}

void CNewVersionProof::Close() {
    m_process.Close();
    m_proof.Close();
    m_resident.Close();
    m_shutdown.Close();
    m_processId = 0;
}

void CNewVersionProof::AfterProof(const std::function<void()>& removeSetAside) {
    CHandle proof(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE,
                               ObjectName(kProofMutex, ::GetCurrentProcessId()).c_str()));
    if (!proof) {
        removeSetAside();
        return;
    }
    std::unique_ptr<ProofWaiter> waiter(new (std::nothrow) ProofWaiter);
    if (!waiter)
        return; // the set-aside files stay rather than go under a proof that may still need them
    waiter->proof = std::move(proof);
    waiter->removeSetAside = removeSetAside;
    m_waiter.Reset(::CreateThread(nullptr, 0, &AwaitProofEnd, waiter.get(), 0, nullptr));
    if (m_waiter)
        waiter.release(); // the thread's now
}

void CNewVersionProof::ReportResident() {
    CHandle resident(
        ::OpenEventA(EVENT_MODIFY_STATE, FALSE, ObjectName(kResidentEvent, ::GetCurrentProcessId()).c_str()));
    if (resident)
        ::SetEvent(resident.Get());
}
