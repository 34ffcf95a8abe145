#include "UpdatePipeline.h"

#include "UpdateRun.h"
#include "UpdateTexts.h"
#include "system/AnsiText.h"
#include "system/PathUtil.h"
#include "system/StartProgram.h"

namespace {
constexpr DWORD kExitRestartRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr DWORD kExitRestartInitiated = 1641; // ERROR_SUCCESS_REBOOT_INITIATED

const char* RefusalText(Admission admission) {
    switch (admission) {
    case Admission::ForeignProduct:
        return UpdateText::kForeignProduct;
    case Admission::NotNewer:
        return UpdateText::kNotNewer;
    default:
        return UpdateText::kUntrusted;
    }
}
} // namespace

BOOL PrepareDownload(const PackageCandidate& package, CUpdateRun& run, CString& localPath,
                     const CString& besideSuffix) {
    const CString& folder = run.m_snapshot.m_downloadFolder;
    CString& errorText = run.m_errorText;
    if (!folder.empty())
        ::CreateDirectoryA(folder.c_str(), nullptr);
    localPath = folder.empty() ? CString() : JoinPath(folder, package.name);
    if (localPath.empty() || localPath.size() + besideSuffix.size() > kMaxBuiltPath) {
        errorText = UpdateText::kRetrieveFailed; // no room for the path: never write a cut one
        return FALSE;
    }
    // Only ASCII letters fold, in any code page: the C runtime's multi-byte comparison would depend on
    // the code page it was set to, and not every runtime knows UTF-8.
    if (SameTextIgnoringAsciiCase(localPath, run.m_snapshot.m_lastDownloadFile)) {
        errorText = UpdateText::kNothingNew;
        return FALSE;
    }
    if (!FitsCommandLine(localPath)) {
        errorText = UpdateText::kInstallFailed; // it could be fetched but never started
        return FALSE;
    }
    // An empty package installs nothing, and its size could not tell a complete transfer from a cut one.
    if (package.size == 0) {
        errorText = UpdateText::kRetrieveFailed;
        return FALSE;
    }
    return TRUE;
}

BOOL CheckFetched(const PackageCandidate& package, const CString& localPath, FetchedPackage& fetched,
                  CUpdateRun& run) {
    CPackageTrust& trust = run.m_trust;
    // From here until it has started, the file is the one held: checked, admitted and run.
    const bool held =
        fetched.writer ? trust.TakeOver(std::move(fetched.writer), localPath) : trust.Hold(localPath);
    LARGE_INTEGER size{};
    bool intact = held && ::GetFileSizeEx(trust.Package().Get(), &size) &&
                  static_cast<std::uint64_t>(size.QuadPart) == package.size;
    // A transfer the server ended early may still have reported success: the listing's size decides.
    const char* failure = package.sha256 && held ? UpdateText::kListMismatch : UpdateText::kRetrieveFailed;
    if (intact && package.sha256) {
        // Hashed once, as the bytes arrived, where nobody could have written them since.
        const std::optional<Sha256Digest> digest = fetched.digest && trust.Package().WrittenBytesKept()
                                                       ? fetched.digest
                                                       : CSha256::OfFile(trust.Package().Get());
        intact = digest == package.sha256;
        if (!digest)
            failure = UpdateText::kUntrusted; // the platform could not hash it: nothing is known of it
    }
    if (intact)
        return TRUE;
    trust.Release();
    run.m_errorText = failure;
    ::DeleteFileA(localPath.c_str()); // never run later
    return FALSE;
}

BOOL AdmitAndRun(CUpdateRun& run, const CString& localPath) {
    CPackageTrust& trust = run.m_trust;
    const Admission admission = trust.Admit(localPath);
    if (admission != Admission::Admitted) {
        // Nothing refused may run, now or on a later run.
        trust.Release();
        ::DeleteFileA(localPath.c_str());
        run.m_errorText = RefusalText(admission);
        run.Note("refused: " + run.m_errorText);
        return FALSE;
    }
    if (run.m_beforePackageStart)
        run.m_beforePackageStart();
    if (!run.RunInstaller(localPath)) {
        trust.Release();
        run.m_errorText = UpdateText::kInstallFailed;
        run.Note("could not be started: " + run.m_errorText);
        return FALSE;
    }
    const DWORD exitCode = run.m_installerExitCode;
    ::DeleteFileA(localPath.c_str());
    run.m_snapshot.RecordLastDownload(localPath);
    // Only a package that says it succeeded (a restart may be due) counts as installed in its version:
    // a failed one may be delivered again.
    const bool succeeded =
        exitCode == 0 || exitCode == kExitRestartRequired || exitCode == kExitRestartInitiated;
    const std::string version = succeeded ? trust.RecordInstalled() : std::string();
    run.Note("ran and ended with exit code " + std::to_string(exitCode) + "; recorded as the last package" +
             (version.empty() ? ", no version recorded" : ", version recorded: " + version));
    return TRUE;
}

BOOL RunUpdatePipeline(const PackageChannel& channel, CUpdateRun& run) {
    PackageCandidate newest;
    CString localPath;
    if (!channel.findNewest(newest)) {
        run.Note("no package chosen: " + run.m_errorText);
        return FALSE;
    }
    run.Note("package chosen: " + newest.name + ", " + std::to_string(newest.size) + " bytes");
    if (!PrepareDownload(newest, run, localPath, channel.besideSuffix)) {
        run.Note("not fetched: " + run.m_errorText);
        return FALSE;
    }
    FetchedPackage fetched;
    if (!channel.fetch(newest, localPath, fetched)) {
        run.Note("transfer failed: " + run.m_errorText);
        return FALSE;
    }
    if (!CheckFetched(newest, localPath, fetched, run)) {
        run.Note("refused: " + run.m_errorText);
        return FALSE;
    }
    // The transfer is over: the progress window goes before anything runs.
    run.CloseProgressWindow();
    const BOOL installed = AdmitAndRun(run, localPath);
    run.m_trust.Release();
    return installed;
}
