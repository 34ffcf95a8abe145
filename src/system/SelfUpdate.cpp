#include "SelfUpdate.h"

#include "PathUtil.h"
#include "StartProgram.h"

namespace {
// A predecessor that has released the lock ends within moments; its image stays locked until then.
constexpr DWORD kSetAsideRetryMs = 100;
constexpr int kSetAsideRetries = 50;
} // namespace

void CSelfUpdate::RememberProgram() {
    m_path = ModulePath();
    m_startedFrom = CProgramIdentity::Of(m_path);
}

bool CSelfUpdate::ProgramReplaced() const {
    if (!m_startedFrom.IsKnown())
        return false;
    // A file that is gone or unreadable is no new version to start.
    CProgramIdentity now = CProgramIdentity::Of(m_path);
    return now.IsKnown() && !now.SameAs(m_startedFrom);
}

BOOL CSelfUpdate::StartNewVersion(std::uint64_t run) {
    // A proof needs the previous program to put back: this very file, set aside beside the new one.
    if (!CProgramIdentity::Of(m_path + ".old").SameAs(m_startedFrom))
        return StartProgram(m_path, "/AfterUpdate");
    return m_proof.Start(m_path, m_startedFrom.m_version, run);
}

void CSelfUpdate::RemoveSetAsideFilesAfterProof() {
    m_proof.AfterProof([this] { RemoveSetAsideFiles(); });
}

void CSelfUpdate::RemoveSetAsideFiles() const {
    const CString directory = DirectoryOf(m_path);
    if (directory.empty())
        return;
    const CString setAside[] = {m_path + ".old", JoinPath(directory, "cvlx.exe.old"),
                                JoinPath(directory, "CVLHelp.htm.old")};
    int retries = kSetAsideRetries;
    for (const CString& path : setAside) {
        if (path.empty())
            continue;
        while (!::DeleteFileA(path.c_str())) {
            DWORD error = ::GetLastError();
            if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || retries-- <= 0)
                break;
            ::Sleep(kSetAsideRetryMs);
        }
    }
}
