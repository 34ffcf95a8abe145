#include "UpdatePipeline.h"

#include "UpdateTexts.h"
#include "framework/WinApp.h"
#include "system/AnsiText.h"
#include "system/PathUtil.h"
#include "system/Settings.h"
#include "system/StartProgram.h"
#include "system/UpdateLog.h"

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

void Note(const UpdateContext& context, const std::string& text) {
    if (context.log)
        context.log->Write(text);
}

UpdateContext MakeUpdateContext(CSettings& settings, CWinApp& profile) {
    UpdateContext context;
    context.downloadFolder = settings.GetDownloadFilePath("");
    context.lastDownloadFile = settings.m_lastDownloadFile;
    context.recordLastDownload = [&settings, &profile](const CString& path) {
        settings.RecordLastDownload(profile, path);
    };
    return context;
}

BOOL PrepareDownload(const PackageCandidate& package, const UpdateContext& context, CString& localPath,
                     CString& errorText) {
    if (!context.downloadFolder.empty())
        ::CreateDirectoryA(context.downloadFolder.c_str(), nullptr);
    localPath = context.downloadFolder.empty() ? CString() : JoinPath(context.downloadFolder, package.name);
    if (localPath.empty()) {
        errorText = UpdateText::kRetrieveFailed; // no room for the path: never write a cut one
        return FALSE;
    }
    // Only ASCII letters fold, in any code page: the C runtime's multi-byte comparison would depend on
    // the code page it was set to, and not every runtime knows UTF-8.
    if (SameTextIgnoringAsciiCase(localPath, context.lastDownloadFile)) {
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
                  CPackageTrust& trust, CString& errorText) {
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
    errorText = failure;
    ::DeleteFileA(localPath.c_str()); // never run later
    return FALSE;
}

BOOL AdmitAndRun(const PackageChannel& channel, const UpdateContext& context, CPackageTrust& trust,
                 const CString& localPath, CString& errorText) {
    const Admission admission = trust.Admit(localPath);
    if (admission != Admission::Admitted) {
        // Nothing refused may run, now or on a later run.
        trust.Release();
        ::DeleteFileA(localPath.c_str());
        errorText = RefusalText(admission);
        Note(context, "refused: " + errorText);
        return FALSE;
    }
    DWORD exitCode = 0;
    if (context.beforeRun)
        context.beforeRun();
    if (!channel.run(localPath, exitCode)) {
        trust.Release();
        errorText = UpdateText::kInstallFailed;
        Note(context, "could not be started: " + errorText);
        return FALSE;
    }
    ::DeleteFileA(localPath.c_str());
    if (context.recordLastDownload)
        context.recordLastDownload(localPath);
    // Only a package that says it succeeded (a restart may be due) counts as installed in its version:
    // a failed one may be delivered again.
    const bool succeeded =
        exitCode == 0 || exitCode == kExitRestartRequired || exitCode == kExitRestartInitiated;
    const std::string version = succeeded ? trust.RecordInstalled() : std::string();
    Note(context, "ran and ended with exit code " + std::to_string(exitCode) +
                      "; recorded as the last package" +
                      (version.empty() ? ", no version recorded" : ", version recorded: " + version));
    return TRUE;
}

BOOL RunUpdatePipeline(const PackageChannel& channel, const UpdateContext& context, CPackageTrust& trust,
                       CString& errorText) {
    PackageCandidate newest;
    CString localPath;
    if (!channel.findNewest(newest)) {
        Note(context, "no package chosen: " + errorText);
        return FALSE;
    }
    Note(context, "package chosen: " + newest.name + ", " + std::to_string(newest.size) + " bytes");
    if (!PrepareDownload(newest, context, localPath, errorText)) {
        Note(context, "not fetched: " + errorText);
        return FALSE;
    }
    FetchedPackage fetched;
    if (!channel.fetch(newest, localPath, fetched)) {
        Note(context, "transfer failed: " + errorText);
        return FALSE;
    }
    if (!CheckFetched(newest, localPath, fetched, trust, errorText)) {
        Note(context, "refused: " + errorText);
        return FALSE;
    }
    channel.transferDone();
    const BOOL installed = AdmitAndRun(channel, context, trust, localPath, errorText);
    trust.Release();
    return installed;
}
