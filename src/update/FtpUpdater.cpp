#include "FtpUpdater.h"

#include "TransferProgressDlg.h"
#include "TransferStatusCallback.h"
#include "UpdateList.h"
#include "UpdateRun.h"
#include "UpdateTexts.h"
#include "core/PackageChoice.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {
using namespace UpdateText;

// FTP commands end at a line break: a setting with control characters could smuggle in commands of its
// own, so it never reaches the server.
bool IsSafeFtpArgument(const CString& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

// The listing's size, both 32-bit words.
std::uint64_t ListedSize(const WIN32_FIND_DATAA& data) {
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

CFtpUpdater::CFtpUpdater(CUpdateRun& run, CString server, CString userName, CString password,
                         CString remoteFolder, int passive)
    : m_errorText(run.m_errorText), m_server(std::move(server)), m_userName(std::move(userName)),
      m_password(std::move(password)), m_remoteFolder(std::move(remoteFolder)), m_passive(passive),
      m_progress(run.m_progress), m_run(run) {}

CFtpUpdater::~CFtpUpdater() {
    CloseProgressWindow();
    CloseInternetHandles();
}

BOOL CFtpUpdater::Connect() {
    if (m_progress)
        m_progress->SetStatusText(kConnecting);
    if (!m_hInternet) {
        m_hInternet.Reset(
            ::InternetOpenA("FTPPendlemark", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (m_hInternet)
            SetTransferTimeouts(m_hInternet);
        if (m_progress && m_progress->IsCancelRequested()) {
            CloseInternetHandles();
            CloseProgressWindow();
        }
        if (!m_hInternet) {
            m_errorText = kNoConnection;
            return FALSE;
        }
    }
    if (!m_hConnection) {
        if (!IsSafeFtpArgument(m_server) || !IsSafeFtpArgument(m_userName) ||
            !IsSafeFtpArgument(m_password)) {
            m_errorText = kNoConnection;
            return FALSE;
        }
        m_hConnection.Reset(::InternetConnectA(m_hInternet, m_server.c_str(), INTERNET_INVALID_PORT_NUMBER,
                                               m_userName.empty() ? nullptr : m_userName.c_str(),
                                               m_password.empty() ? nullptr : m_password.c_str(),
                                               INTERNET_SERVICE_FTP, m_passive ? INTERNET_FLAG_PASSIVE : 0,
                                               0));
        if (!m_hConnection) {
            m_errorText = kNoConnection;
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CFtpUpdater::ParsePackageDate(CString name, PackageDate& date) {
    std::optional<PackageDate> parsed = PackageDateOf(name);
    if (!parsed)
        return FALSE;
    date = *parsed;
    return TRUE;
}

BOOL CFtpUpdater::InstallNewestPackage(CString folder) {
    if (!m_hConnection)
        return FALSE;
    if (!folder.empty())
        m_remoteFolder = std::move(folder);
    PackageChannel channel;
    channel.findNewest = [this](PackageCandidate& newest) { return FindNewestPackage(newest); };
    channel.fetch = [this](const PackageCandidate& package, const CString& localPath, FetchedPackage&) {
        return FetchPackage(package, localPath);
    };
    const BOOL result = RunUpdatePipeline(channel, m_run);
    if (m_hConnection)
        ::InternetSetStatusCallback(m_hConnection, nullptr);
    return result;
}

BOOL CFtpUpdater::FindNewestPackage(PackageCandidate& newest) {
    BOOL folderSet =
        IsSafeFtpArgument(m_remoteFolder) && ::FtpSetCurrentDirectoryA(m_hConnection, m_remoteFolder.c_str());
    if (!folderSet) {
        DWORD error = IsSafeFtpArgument(m_remoteFolder) ? ::GetLastError() : ERROR_INVALID_NAME;
        // 12003: the server answered with a text (no such folder); search where we are instead.
        if (error != ERROR_INTERNET_EXTENDED_ERROR) {
            char text[64];
            std::snprintf(text, sizeof text, kFolderFailed, static_cast<long>(error));
            m_errorText = text;
            return FALSE;
        }
    }

    if (m_run.m_snapshot.m_signedListsRequired)
        return FindNewestListed(newest);

    std::vector<ListedFile> listing;
    WIN32_FIND_DATAA data{};
    CInternetHandle find(::FtpFindFirstFileA(
        m_hConnection, "*-update.exe", &data,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RESYNCHRONIZE, 0));
    if (find) {
        do {
            listing.push_back(
                {data.cFileName, ListedSize(data), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (::InternetFindNextFileA(find, &data));
    }
    find.Close();
    std::optional<ListedFile> chosen = ChooseNewestPackage(listing, [this](const std::string& name) {
        PackageDate date;
        return ParsePackageDate(name, date) ? std::optional<PackageDate>(date) : std::nullopt;
    });
    if (!chosen) {
        m_errorText = kNoUpdate;
        return FALSE;
    }
    newest.name = chosen->name;
    newest.size = chosen->size;
    newest.sha256.reset();
    return TRUE;
}

std::optional<std::string> CFtpUpdater::ReadSmallFile(const char* name, std::size_t limit) {
    CInternetHandle file(::FtpOpenFileA(m_hConnection, name, GENERIC_READ,
                                        FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0));
    if (!file)
        return std::nullopt;
    std::string text;
    char buffer[8192];
    DWORD got = 0;
    while (::InternetReadFile(file, buffer, sizeof buffer, &got) && got > 0) {
        text.append(buffer, got);
        if (text.size() > limit)
            return std::nullopt;
    }
    return text;
}

BOOL CFtpUpdater::FindNewestListed(PackageCandidate& newest) {
    CUpdateList list(m_run.m_snapshot);
    const std::optional<std::string> text = ReadSmallFile(kFeedFileName, kMaxFeedBytes);
    if (!text) {
        m_errorText = kListUnreadable;
        return FALSE;
    }
    const std::optional<std::string> signature = ReadSmallFile(kFeedSignatureName, kMaxFeedSignatureBytes);
    return list.Choose(*text, signature, newest, m_run);
}

BOOL CFtpUpdater::FetchPackage(const PackageCandidate& package, const CString& localPath) {
    m_bytesReceived = 0;
    m_bytesExpected = package.size;
    ::InternetSetStatusCallback(m_hConnection, &TransferStatusCallback);
    if (::FtpGetFileA(m_hConnection, package.name.c_str(), localPath.c_str(), FALSE, FILE_ATTRIBUTE_NORMAL,
                      FTP_TRANSFER_TYPE_BINARY, reinterpret_cast<DWORD_PTR>(this))) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ::GetFileAttributesExA(localPath.c_str(), GetFileExInfoStandard, &data);
        m_run.Note(
            "received " +
            std::to_string((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) +
            " bytes");
        return TRUE;
    }
    ::DeleteFileA(localPath.c_str()); // a partial package must never be run later
    m_errorText = m_progress && m_progress->IsCancelRequested() ? kAborted : kRetrieveFailed;
    return FALSE;
}

BOOL CFtpUpdater::RunInstaller(CString path) {
    return m_run.RunInstaller(std::move(path));
}

void CFtpUpdater::CloseInternetHandles() {
    m_hConnection.Close();
    m_hInternet.Close();
}

BOOL CFtpUpdater::OpenProgressWindow(BOOL showControls) {
    return m_run.OpenProgressWindow(showControls);
}

void CFtpUpdater::ShowStatus(CString text) {
    m_run.ShowStatus(std::move(text));
}

void CFtpUpdater::CloseProgressWindow() {
    m_run.CloseProgressWindow();
}

void CFtpUpdater::PumpMessages() {
    m_run.PumpMessages();
}
