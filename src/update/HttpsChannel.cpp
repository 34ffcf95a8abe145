#include "HttpsChannel.h"

#include "TransferProgressDlg.h"
#include "UpdateRun.h"
#include "UpdateTexts.h"
#include "core/HttpText.h"
#include "core/IntegerText.h"
#include "core/PackageName.h"
#include "core/PartRecord.h"
#include "core/Percent.h"
#include "framework/Handles.h"
#include "system/PathUtil.h"
#include "system/Settings.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {
using namespace UpdateText;

constexpr char kPartSuffix[] = ".part";
// Within one run a cut transfer is taken up again this often.
constexpr int kResumes = 2;

PartEntry EntryOf(const PackageCandidate& package) {
    return PartEntry{package.name, package.size,
                     package.sha256 ? ThumbprintHex(*package.sha256) : std::string()};
}

// Deletes the file through its handle, which it closes.
void DeleteHeld(CHandle& file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition);
    file.Close();
}

// Renames the file through its handle, so the file renamed is the one written, whatever the folder holds.
bool RenameHeld(HANDLE file, const CString& path) {
    const std::wstring wide = AfxWiden(path.c_str());
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (wide.size() + 1) * sizeof(wchar_t), 0);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, wide.c_str(), rename->FileNameLength);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) !=
           FALSE;
}
} // namespace

CHttpsChannel::CHttpsChannel(CUpdateRun& run)
    : m_folder(UrlFolderPath(run.m_snapshot.m_remoteFolder)), m_run(run),
      m_client(
          ParseServerAddress(run.m_snapshot.m_server), run.m_snapshot.m_userName, run.m_snapshot.m_password,
          CHttpsClient::Watch{[this] { Serve(); }, [this] { return GoOn(); }, [this] { StoppedAway(); }}),
      m_list(run.m_snapshot) {
    m_client.m_limits = DefaultLimits();
}

BOOL CHttpsChannel::Connect() {
    if (m_client.Open() != HttpsResult::Complete) {
        m_run.m_errorText = kNoConnection;
        return FALSE;
    }
    return TRUE;
}

void CHttpsChannel::CloseInternetHandles() {
    m_client.Close();
}

void CHttpsChannel::Serve() {
    // The progress window's keys too: Esc is Cancel.
    if (m_run.m_progress)
        m_run.m_progress->PumpDialogMessages();
    else
        m_run.PumpMessages();
}

void CHttpsChannel::StoppedAway() {
    // Cancel while another dialog runs its loop: the window goes at once, the run ends once that dialog
    // lets it.
    if (m_run.m_progress && m_run.m_progress->IsWindow())
        m_run.m_progress->ShowWindow(SW_HIDE);
}

bool CHttpsChannel::GoOn() {
    if (m_run.CloseRequested())
        return false;
    CTransferProgressDlg* progress = m_run.m_progress.get();
    if (!progress)
        return true;
    if (m_reading) {
        progress->ShowPosition(TransferPercent(m_transferBase + m_client.Received(), m_transferSize));
    }
    return !progress->m_cancelRequested;
}

bool CHttpsChannel::PauseBeforeRetry() {
    // A short pause before taking it up again; Cancel still works meanwhile.
    return m_client.Pause(m_retryPauseMs);
}

BOOL CHttpsChannel::InstallNewestPackage() {
    PackageChannel channel;
    channel.findNewest = [this](PackageCandidate& newest) { return FindNewestPackage(newest); };
    channel.fetch = [this](const PackageCandidate& package, const CString& localPath,
                           FetchedPackage& fetched) { return FetchPackage(package, localPath, fetched); };
    channel.besideSuffix = kPartSuffix;
    return RunUpdatePipeline(channel, m_run);
}

BOOL CHttpsChannel::FindNewestPackage(PackageCandidate& newest) {
    // Any phase may wait on a silent server: Cancel is there from the first request on.
    if (m_run.m_progress)
        m_run.m_progress->ShowCancel();
    std::optional<std::string> list;
    std::optional<std::string> signature;
    HttpsResult read = ReadSmallFile(kFeedFileName, kMaxFeedBytes, list);
    if (read == HttpsResult::Complete && list && m_list.SignatureNeeded())
        read = ReadSmallFile(kFeedSignatureName, kMaxFeedSignatureBytes, signature);
    if (read == HttpsResult::Untrusted || read == HttpsResult::Aborted) {
        m_run.m_errorText = read == HttpsResult::Untrusted ? kServerIdentity : kAborted;
        return FALSE;
    }
    // A signature that did not arrive is not a missing one: the list is not known.
    if (!list || read == HttpsResult::Cut) {
        m_run.m_errorText = kListUnreadable;
        return FALSE;
    }
    const BOOL chosen = m_list.Choose(*list, signature, newest, m_run);
    // Only a list that passed its checks may say which parts are stale.
    if (m_list.Passed())
        DeleteStaleParts(chosen ? newest.name : CString());
    return chosen;
}

void CHttpsChannel::DeleteStaleParts(const CString& keep) const {
    const CString& folder = m_run.m_snapshot.m_downloadFolder;
    const CString pattern = folder.empty() ? CString() : JoinPath(folder, "*-update.exe.part");
    WIN32_FIND_DATAA data;
    HANDLE found = pattern.empty() ? INVALID_HANDLE_VALUE : ::FindFirstFileA(pattern.c_str(), &data);
    if (found == INVALID_HANDLE_VALUE)
        return;
    std::vector<CString> stale;
    do {
        CString name = data.cFileName;
        if (name.size() <= sizeof kPartSuffix - 1 || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        name.resize(name.size() - (sizeof kPartSuffix - 1));
        // Only the part of the package chosen now is worth keeping.
        if (IsPackageFileName(name) && (keep.empty() || name != keep))
            stale.push_back(JoinPath(folder, data.cFileName));
    } while (::FindNextFileA(found, &data));
    ::FindClose(found);
    for (const CString& path : stale)
        ::DeleteFileA(path.c_str());
}

HttpsResult CHttpsChannel::ReadSmallFile(const std::string& name, std::size_t limit,
                                         std::optional<std::string>& content) {
    HttpsResult result = ReadSmallFileOnce(name, limit, content);
    for (int attempt = 0; attempt < kResumes && result == HttpsResult::Cut; ++attempt)
        result = PauseBeforeRetry() ? ReadSmallFileOnce(name, limit, content) : HttpsResult::Aborted;
    return result;
}

HttpsResult CHttpsChannel::ReadSmallFileOnce(const std::string& name, std::size_t limit,
                                             std::optional<std::string>& content) {
    content.reset();
    DWORD status = 0;
    const HttpsResult sent = m_client.Get(m_folder + UrlPathSegment(name), std::string(), status);
    if (sent == HttpsResult::Refused || (sent == HttpsResult::Complete && status != 200))
        return HttpsResult::Complete; // not there
    if (sent != HttpsResult::Complete)
        return sent;
    std::string text;
    // One byte more than the limit tells a file too long from one that fits.
    const HttpsResult read = m_client.Read(limit + 1, [&text](const char* data, DWORD size) {
        text.append(data, size);
        return true;
    });
    if (read != HttpsResult::Complete)
        return read;
    if (text.size() <= limit) // no list is longer
        content = std::move(text);
    return HttpsResult::Complete;
}

BOOL CHttpsChannel::FetchPackage(const PackageCandidate& package, const CString& localPath,
                                 FetchedPackage& fetched) {
    const CString partPath = localPath + kPartSuffix;
    HttpsResult result = HttpsResult::Refused;
    Part part;
    // Written only through this handle from the first byte until the package has started: nobody else
    // may write, rename or delete it meanwhile.
    if (partPath.size() <= kMaxBuiltPath) // checked when the download was prepared
        part.file.Reset(::CreateFileA(partPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (part.file) {
        for (int attempt = 0; attempt <= kResumes; ++attempt) {
            if (attempt > 0 && !PauseBeforeRetry()) {
                result = HttpsResult::Aborted;
                break;
            }
            result = TransferOnce(package, part);
            if (result != HttpsResult::Cut)
                break;
        }
    }
    // Nothing arrived: nothing of the transfer is left.
    if (result != HttpsResult::Complete && part.file && part.size == 0)
        DeleteHeld(part.file);
    switch (result) {
    case HttpsResult::Complete:
        // A part that cannot take its name yet stays complete, with its record, for the next run.
        if (RenameHeld(part.file.Get(), localPath)) {
            m_run.m_snapshot.RecordPart(std::string());
            fetched.digest = part.hash ? part.hash->Finish() : std::nullopt;
            fetched.writer = std::move(part.file);
            return TRUE;
        }
        m_run.m_errorText = kRetrieveFailed;
        return FALSE;
    case HttpsResult::Mismatch:
        m_run.m_snapshot.RecordPart(std::string());
        part.file.Close();
        ::DeleteFileA(partPath.c_str());
        m_run.m_errorText = kListMismatch;
        return FALSE;
    case HttpsResult::Untrusted:
        m_run.m_errorText = kServerIdentity;
        return FALSE;
    case HttpsResult::Aborted:
        m_run.m_errorText = kAborted; // what arrived stays for the next run
        return FALSE;
    default:
        m_run.m_errorText = kRetrieveFailed;
        return FALSE;
    }
}

bool CHttpsChannel::KeepFirst(Part& part, std::uint64_t bytes) {
    // What the part holds up to there is hashed once: as it arrived in this run, or now from the file.
    if (!part.hash || part.size != bytes) {
        part.hash = std::make_unique<CSha256>();
        part.size = 0;
        LARGE_INTEGER start{};
        if (bytes > 0 && !::SetFilePointerEx(part.file.Get(), start, nullptr, FILE_BEGIN))
            return false;
        std::vector<char> buffer(1 << 20);
        while (part.size < bytes) {
            const std::uint64_t left = bytes - part.size;
            DWORD read = 0;
            if (!::ReadFile(part.file.Get(), buffer.data(),
                            static_cast<DWORD>(left < buffer.size() ? left : buffer.size()), &read,
                            nullptr) ||
                read == 0)
                return false;
            part.hash->Add(buffer.data(), read);
            part.size += read;
        }
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(bytes);
    return ::SetFilePointerEx(part.file.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(part.file.Get());
}

HttpsResult CHttpsChannel::TransferOnce(const PackageCandidate& package, Part& part) {
    // What an earlier attempt left is taken up only for the same list entry, with the server's validator.
    std::uint64_t offset = 0;
    const std::optional<std::string> validator =
        PartRecordValidator(m_run.m_snapshot.m_partRecord, EntryOf(package));
    LARGE_INTEGER partSize{};
    if (validator && ::GetFileSizeEx(part.file.Get(), &partSize) && partSize.QuadPart > 0 &&
        static_cast<std::uint64_t>(partSize.QuadPart) <= package.size)
        offset = static_cast<std::uint64_t>(partSize.QuadPart);
    if (!KeepFirst(part, offset))
        return HttpsResult::Refused;
    if (offset == package.size)
        return HttpsResult::Complete;

    CTransferProgressDlg* progress = m_run.m_progress.get();
    if (progress) {
        progress->SetStatusText(kRequesting);
        progress->ShowTransferControls();
        m_run.PumpMessages();
    }
    const std::string path = m_folder + UrlPathSegment(package.name);
    DWORD status = 0;
    std::string headers;
    if (offset > 0)
        headers = "Range: bytes=" + std::to_string(offset) + "-\r\nIf-Range: " + *validator + "\r\n";
    HttpsResult sent = m_client.Get(path, headers, status);
    if (sent == HttpsResult::Complete && offset > 0 &&
        !(status == 206 && ContentRangeFits(m_client.Answer().contentRange, offset, package.size))) {
        // Any other answer to the rest starts from zero.
        offset = 0;
        if (!KeepFirst(part, 0))
            return HttpsResult::Refused;
        if (status != 200)
            sent = m_client.Get(path, std::string(), status);
    }
    if (sent != HttpsResult::Complete)
        return sent;
    if (status != (offset > 0 ? 206u : 200u))
        return HttpsResult::Refused;
    m_run.Note(offset > 0 ? "transfer resumed from byte " + std::to_string(offset) : "transfer begun");
    // A server announcing another length is not serving the listed file; more is never read.
    const std::string& length = m_client.Answer().contentLength;
    if (!length.empty() && DecimalValue(length) != package.size - offset)
        return HttpsResult::Mismatch;
    const HttpsAnswer& answer = m_client.Answer();
    const std::string& newValidator = answer.etag.empty() ? answer.lastModified : answer.etag;
    m_run.m_snapshot.RecordPart(newValidator.empty() ? std::string()
                                                     : PartRecordText(EntryOf(package), newValidator));

    if (m_run.m_progress) {
        m_run.m_progress->SetStatusText(kReceiving);
        m_run.PumpMessages();
    }
    m_transferSize = package.size;
    m_transferBase = offset;
    m_reading = true;
    // Written and hashed here as the blocks come in, through the handle the run holds, while the request's
    // job reads the next ones.
    const HttpsResult read = m_client.Read(package.size - offset, [&part](const char* data, DWORD size) {
        DWORD written = 0;
        if (!::WriteFile(part.file.Get(), data, size, &written, nullptr) || written != size)
            return false;
        part.hash->Add(data, size);
        part.size += size;
        return true;
    });
    m_reading = false;
    // Reset, silent too long, ended early, refused by the file, Cancel.
    const HttpsResult result = read != HttpsResult::Complete ? read
                               : part.size == package.size   ? HttpsResult::Complete
                                                             : HttpsResult::Cut;
    m_run.Note("received " + std::to_string(part.size - offset) + " bytes, " + std::to_string(part.size) +
               " of " + std::to_string(package.size) + " in all" +
               (result == HttpsResult::Complete  ? ""
                : result == HttpsResult::Aborted ? ", cancelled"
                : result == HttpsResult::Cut     ? ", cut"
                                                 : ", not written"));
    if (m_run.m_progress)
        m_run.m_progress->SetPosition(TransferPercent(part.size, package.size));
    return result;
}
