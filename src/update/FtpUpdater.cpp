#include "FtpUpdater.h"
#include "framework/MessagePump.h"

#include "TransferProgressDlg.h"
#include "TransferStatusCallback.h"
#include "app/StartProgram.h"
#include "app/UpdaterApp.h"
#include "core/PackageChoice.h"
#include "framework/Dialog.h"

#include <cstdio>
#include <mbstring.h>
#include <optional>
#include <utility>
#include <vector>

namespace {
// What the update run shows of a failure.
const char kNoConnection[] = "Unable to establish connection to the Internet";
const char kFolderFailed[] = "Unable to set PathToFile [%li].\n";
const char kNoUpdate[] = "No Update Available.";
const char kNothingNew[] = "There are no new updates available for download.";
const char kRetrieveFailed[] = "Error retrieving update file.";
const char kAborted[] = "Download aborted!";
const char kInstallFailed[] = "Error installing update.";
const char kUntrusted[] = "The update file is not signed by a trusted publisher.";
const char kForeignProduct[] = "The update file is for another product.";
const char kNotNewer[] = "The update file is not newer than the installed one.";
// What the progress window shows.
const char kCheckingConnection[] = "Checking for internet connection...";

// A server that stops answering must not hold a run for ever (where the platform honours these).
constexpr DWORD kTimeoutMs = 60000;
const DWORD kTimeoutOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                 INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                                 INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};

const char* RefusalText(Admission admission) {
    switch (admission) {
    case Admission::ForeignProduct:
        return kForeignProduct;
    case Admission::NotNewer:
        return kNotNewer;
    default:
        return kUntrusted;
    }
}

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

// -1 when the file cannot be read.
long long LocalFileSize(const CString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return static_cast<long long>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// The owner first, then the window itself, so that the window ends up in front and focused.
void Activate(HWND window) {
    ::BringWindowToTop(window);
    ::SetActiveWindow(window);
    ::SetFocus(window);
}

} // namespace

CFtpUpdater::CFtpUpdater(CString server, CString userName, CString password, CString remoteFolder,
                         int passive)
    : m_server(std::move(server)), m_userName(std::move(userName)), m_password(std::move(password)),
      m_remoteFolder(std::move(remoteFolder)), m_passive(passive) {}

CFtpUpdater::~CFtpUpdater() {
    CloseProgressWindow();
    CloseInternetHandles();
}

BOOL CFtpUpdater::Connect() {
    if (m_progress)
        m_progress->SetStatusText(kCheckingConnection);
    if (!m_hInternet) {
        m_hInternet = ::InternetOpenA("FTPPendlemark", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        for (DWORD option : kTimeoutOptions) {
            DWORD timeout = kTimeoutMs; // inherited by the connection and its transfers
            if (m_hInternet)
                ::InternetSetOptionA(m_hInternet, option, &timeout, sizeof timeout);
        }
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
        m_hConnection = ::InternetConnectA(m_hInternet, m_server.c_str(), INTERNET_INVALID_PORT_NUMBER,
                                           m_userName.empty() ? nullptr : m_userName.c_str(),
                                           m_password.empty() ? nullptr : m_password.c_str(),
                                           INTERNET_SERVICE_FTP, m_passive ? INTERNET_FLAG_PASSIVE : 0, 0);
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

    std::vector<ListedFile> listing;
    WIN32_FIND_DATAA data{};
    HINTERNET find = ::FtpFindFirstFileA(
        m_hConnection, "*-update.exe", &data,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RESYNCHRONIZE, 0);
    if (find) {
        do {
            listing.push_back(
                {data.cFileName, ListedSize(data), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (::InternetFindNextFileA(find, &data));
        ::InternetCloseHandle(find);
    }
    std::optional<ListedFile> newest = ChooseNewestPackage(listing, [this](const std::string& name) {
        PackageDate date;
        return ParsePackageDate(name, date) ? std::optional<PackageDate>(date) : std::nullopt;
    });
    if (!newest) {
        m_errorText = kNoUpdate;
        return FALSE;
    }
    const CString& candidateName = newest->name;
    const std::uint64_t candidateSize = newest->size;

    CUpdaterApp* app = GetUpdaterApp();
    CString downloadFolder = app->GetDownloadFilePath("");
    if (!downloadFolder.empty())
        ::CreateDirectoryA(downloadFolder.c_str(), nullptr);
    CString localPath = app->GetDownloadFilePath(candidateName);
    if (localPath.empty()) {
        m_errorText = kRetrieveFailed; // no room for the path: never write a cut one
        return FALSE;
    }
    if (_mbsicmp(reinterpret_cast<const unsigned char*>(localPath.c_str()),
                 reinterpret_cast<const unsigned char*>(app->m_lastDownloadFile.c_str())) == 0) {
        m_errorText = kNothingNew;
        return FALSE;
    }
    if (!FitsCommandLine(localPath)) {
        m_errorText = kInstallFailed; // it could be fetched but never started
        return FALSE;
    }
    // An empty package installs nothing, and its size could not tell a complete transfer from a cut one.
    if (candidateSize == 0) {
        m_errorText = kRetrieveFailed;
        return FALSE;
    }

    m_bytesReceived = 0;
    m_bytesExpected = candidateSize;
    ::InternetSetStatusCallback(m_hConnection, &TransferStatusCallback);
    BOOL transferred =
        ::FtpGetFileA(m_hConnection, candidateName.c_str(), localPath.c_str(), FALSE, FILE_ATTRIBUTE_NORMAL,
                      FTP_TRANSFER_TYPE_BINARY, reinterpret_cast<DWORD_PTR>(this));
    // A transfer the server ended early may still report success: the listing's size decides.
    if (transferred && LocalFileSize(localPath) != static_cast<long long>(candidateSize))
        transferred = FALSE;

    BOOL result = FALSE;
    if (transferred) {
        CloseProgressWindow();
        const Admission admission = m_trust.Admit(localPath);
        if (admission != Admission::Admitted) {
            // Nothing refused may run, now or on a later run.
            m_trust.Release();
            ::DeleteFileA(localPath.c_str());
            m_errorText = RefusalText(admission);
        } else if (RunInstaller(localPath)) {
            ::DeleteFileA(localPath.c_str());
            app->RecordLastDownload(localPath);
            m_trust.RecordInstalled();
            result = TRUE;
        } else {
            m_errorText = kInstallFailed;
        }
    } else {
        ::DeleteFileA(localPath.c_str()); // a partial package must never be run later
        m_errorText = m_progress && m_progress->IsCancelRequested() ? kAborted : kRetrieveFailed;
    }
    m_trust.Release();
    if (m_hConnection)
        ::InternetSetStatusCallback(m_hConnection, nullptr);
    return result;
}

BOOL CFtpUpdater::RunInstaller(CString path) {
    // Started (its image is mapped now) or refused: the verified file need not be held any longer.
    const BOOL started = StartProgram(path, CString(), kStartWait | kStartElevateIfRequired, nullptr,
                                      [this] { m_trust.Release(); });
    m_trust.Release();
    return started;
}

void CFtpUpdater::CloseInternetHandles() {
    if (m_hConnection) {
        ::InternetCloseHandle(m_hConnection);
        m_hConnection = nullptr;
    }
    if (m_hInternet) {
        ::InternetCloseHandle(m_hInternet);
        m_hInternet = nullptr;
    }
}

BOOL CFtpUpdater::OpenProgressWindow(BOOL showControls) {
    CloseProgressWindow();
    auto progress = std::make_unique<CTransferProgressDlg>(0);
    progress->m_showCancel = showControls;
    progress->m_showProgress = showControls;
    // A window that could not be made is no window at all: nothing is shown and nothing cancels.
    if (!progress->CreateModeless(nullptr))
        return FALSE;
    m_progress = std::move(progress);
    if (HWND owner = CDialog::GetSafeOwner(nullptr))
        Activate(owner);
    Activate(m_progress->m_hWnd);
    return TRUE;
}

void CFtpUpdater::ShowStatus(CString text) {
    if (!m_progress)
        return;
    if (HWND owner = CDialog::GetSafeOwner(nullptr))
        Activate(owner);
    Activate(m_progress->m_hWnd);
    ::SetWindowPos(m_progress->m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    m_progress->SetStatusText(text);
    PumpMessages();
}

void CFtpUpdater::CloseProgressWindow() {
    if (!m_progress)
        return;
    // Taken out first: whatever the destruction dispatches finds no window open any more.
    std::unique_ptr<CTransferProgressDlg> progress = std::move(m_progress);
    if (progress->IsWindow())
        progress->DestroyWindow();
    progress.reset();
    PumpMessages();
}

void CFtpUpdater::PumpMessages() {
    AfxPumpWaitingMessages();
}
