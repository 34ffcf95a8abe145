#include "HttpsChannel.h"

#include "FtpUpdater.h"
#include "TransferProgressDlg.h"
#include "TransferWatchdog.h"
#include "UpdateTexts.h"
#include "core/IntegerText.h"
#include "core/PackageName.h"
#include "core/Percent.h"
#include "framework/Handles.h"
#include "system/PathUtil.h"
#include "system/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {
using namespace UpdateText;

constexpr char kAgent[] = "Pendlemark";
constexpr char kPartSuffix[] = ".part";
// What the next attempt needs to resume a cut transfer: the list entry and the server's validator.
constexpr char kPartRecordValue[] = "PartialDownload";
// Within one run a cut transfer is taken up again this often, after this pause.
constexpr int kResumes = 2;
constexpr DWORD kResumePauseMs = 1000;
constexpr int kMaxRedirects = 5;
constexpr DWORD kRequestFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_KEEP_CONNECTION;

// The platform's answers for a certificate it does not trust, for another name, out of date, or a
// secure channel it could not set up.
bool IsIdentityError(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case 12179: // ERROR_INTERNET_SEC_CERT_WEAK_SIGNATURE
        return true;
    default:
        return false;
    }
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// A name as one segment of a URL path.
std::string Escaped(const std::string& name, const char* alsoKept = "") {
    std::string escaped;
    for (unsigned char c : name) {
        if (IsUnreserved(c) || (c != '\0' && std::strchr(alsoKept, c))) {
            escaped += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            escaped += hex;
        }
    }
    return escaped;
}

// The folder as a URL path, "/" at both ends; what an administrator escaped stays escaped.
std::string FolderPath(const CString& folder) {
    std::string path = Escaped(folder, "/%!$&'()*+,;=:@");
    if (path.empty() || path.front() != '/')
        path.insert(path.begin(), '/');
    if (path.back() != '/')
        path += '/';
    return path;
}

std::string QueryText(HINTERNET request, DWORD what) {
    char text[1024];
    DWORD size = sizeof text;
    if (!::HttpQueryInfoA(request, what, text, &size, nullptr))
        return std::string();
    return std::string(text, size);
}

std::optional<std::uint64_t> DecimalOf(const std::string& text) {
    std::uint64_t value = 0;
    return ParseDecimal(text, UINT64_MAX, value) ? std::optional<std::uint64_t>(value) : std::nullopt;
}

// "bytes FIRST-LAST/TOTAL" exactly as a resumed transfer of the rest from offset needs it.
bool ContentRangeFits(const std::string& range, std::uint64_t offset, std::uint64_t size) {
    const std::string prefix = "bytes ";
    const std::size_t dash = range.find('-');
    const std::size_t slash = range.find('/');
    if (range.compare(0, prefix.size(), prefix) != 0 || dash == std::string::npos ||
        slash == std::string::npos || slash < dash)
        return false;
    const auto first = DecimalOf(range.substr(prefix.size(), dash - prefix.size()));
    const auto last = DecimalOf(range.substr(dash + 1, slash - dash - 1));
    const auto total = DecimalOf(range.substr(slash + 1));
    return first && last && total && *first == offset && *last + 1 == size && *total == size;
}

// The record kept beside a part file: "name|size|sha256|validator".
std::string PartRecordFor(const PackageCandidate& package, const std::string& validator) {
    return package.name + "|" + std::to_string(package.size) + "|" +
           (package.sha256 ? ThumbprintHex(*package.sha256) : std::string()) + "|" + validator;
}

long long FileSizeOf(const CString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return static_cast<long long>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}
} // namespace

CHttpsChannel::CHttpsChannel(ServerAddress server, CString userName, CString password, CString remoteFolder,
                             CFtpUpdater& run)
    : m_server(std::move(server)), m_userName(std::move(userName)), m_password(std::move(password)),
      m_folder(FolderPath(remoteFolder)), m_run(run) {}

BOOL CHttpsChannel::Connect() {
    if (!m_hInternet) {
        // The user's own proxy settings, with its sign-in, as every program of the desktop uses them.
        m_hInternet.Reset(::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (m_hInternet)
            SetTransferTimeouts(m_hInternet);
        if (m_run.m_progress && m_run.m_progress->IsCancelRequested()) {
            CloseInternetHandles();
            m_run.CloseProgressWindow();
        }
    }
    if (m_hInternet && !m_hConnection)
        m_hConnection.Reset(::InternetConnectA(m_hInternet, m_server.host.c_str(), m_server.port,
                                               m_userName.empty() ? nullptr : m_userName.c_str(),
                                               m_password.empty() ? nullptr : m_password.c_str(),
                                               INTERNET_SERVICE_HTTP, INTERNET_FLAG_SECURE, 0));
    if (!m_hConnection) {
        m_run.m_errorText = kNoConnection;
        return FALSE;
    }
    return TRUE;
}

void CHttpsChannel::CloseInternetHandles() {
    m_hConnection.Close();
    m_hInternet.Close();
}

BOOL CHttpsChannel::InstallNewestPackage() {
    if (!m_hConnection)
        return FALSE;
    PackageChannel channel = m_run.SharedSteps();
    channel.findNewest = [this](PackageCandidate& newest) { return FindNewestPackage(newest); };
    channel.fetch = [this](const PackageCandidate& package, const CString& localPath) {
        return FetchPackage(package, localPath);
    };
    return RunUpdatePipeline(channel, m_run.m_context, m_run.m_trust, m_run.m_errorText);
}

BOOL CHttpsChannel::FindNewestPackage(PackageCandidate& newest) {
    std::optional<std::string> list;
    std::optional<std::string> signature;
    Transfer read = ReadSmallFile(kFeedFileName, kMaxFeedBytes, list);
    if (read == Transfer::Complete && list && m_list.SignatureNeeded())
        read = ReadSmallFile(kFeedSignatureName, kMaxFeedSignatureBytes, signature);
    if (read == Transfer::Untrusted) {
        m_run.m_errorText = kServerIdentity;
        return FALSE;
    }
    if (!list) {
        m_run.m_errorText = kListUnreadable;
        return FALSE;
    }
    const BOOL chosen = m_list.Choose(*list, signature, newest, m_run.m_errorText);
    if (m_list.Feed())
        DeleteStaleParts(chosen ? newest.name : CString());
    return chosen;
}

void CHttpsChannel::DeleteStaleParts(const CString& keep) const {
    const CString& folder = m_run.m_context.downloadFolder;
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
        bool listed = false;
        for (const FeedEntry& entry : m_list.Feed()->entries)
            listed = listed || (entry.name == name && (keep.empty() || name == keep));
        if (!listed && IsPackageFileName(name))
            stale.push_back(JoinPath(folder, data.cFileName));
    } while (::FindNextFileA(found, &data));
    ::FindClose(found);
    for (const CString& path : stale)
        ::DeleteFileA(path.c_str());
}

CHttpsChannel::Transfer CHttpsChannel::Request(const std::string& name, const std::string& headers,
                                               CInternetHandle& request, DWORD& status) {
    std::string path = m_folder + Escaped(name);
    CInternetHandle elsewhere; // a connection to another server a redirect names, without our sign-in
    HINTERNET connection = m_hConnection;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        const char* accept[] = {"*/*", nullptr};
        request.Reset(
            ::HttpOpenRequestA(connection, "GET", path.c_str(), nullptr, nullptr, accept, kRequestFlags, 0));
        if (!request)
            return Transfer::Cut;
        if (!::HttpSendRequestA(request, headers.empty() ? nullptr : headers.c_str(),
                                static_cast<DWORD>(headers.size()), nullptr, 0))
            return IsIdentityError(::GetLastError()) ? Transfer::Untrusted : Transfer::Cut;
        DWORD size = sizeof status;
        if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                              nullptr))
            return Transfer::Cut;
        if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308)
            return Transfer::Complete;
        // Followed over HTTPS only: never to another scheme.
        const std::string location = QueryText(request, HTTP_QUERY_LOCATION);
        if (!location.empty() && location.front() == '/') {
            path = location;
            continue;
        }
        char host[256] = "";
        char urlPath[2048] = "";
        URL_COMPONENTSA parts{};
        parts.dwStructSize = sizeof parts;
        parts.lpszHostName = host;
        parts.dwHostNameLength = sizeof host;
        parts.lpszUrlPath = urlPath;
        parts.dwUrlPathLength = sizeof urlPath;
        if (location.empty() || !::InternetCrackUrlA(location.c_str(), 0, 0, &parts) ||
            parts.nScheme != INTERNET_SCHEME_HTTPS)
            return Transfer::Refused;
        path = urlPath[0] ? urlPath : "/";
        if (m_server.host == host && m_server.port == parts.nPort) {
            connection = m_hConnection;
        } else {
            elsewhere.Reset(::InternetConnectA(m_hInternet, host, parts.nPort, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, INTERNET_FLAG_SECURE, 0));
            if (!elsewhere)
                return Transfer::Refused;
            connection = elsewhere;
        }
    }
    return Transfer::Refused;
}

CHttpsChannel::Transfer CHttpsChannel::ReadSmallFile(const std::string& name, std::size_t limit,
                                                     std::optional<std::string>& content) {
    content.reset();
    CInternetHandle request;
    DWORD status = 0;
    const Transfer sent = Request(name, std::string(), request, status);
    if (sent != Transfer::Complete)
        return sent;
    if (status != 200)
        return Transfer::Refused;
    std::string text;
    char buffer[8192];
    for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(request, buffer, sizeof buffer, &got))
            return Transfer::Cut;
        if (got == 0)
            break;
        text.append(buffer, got);
        if (text.size() > limit)
            return Transfer::Mismatch; // no list is that long
    }
    content = std::move(text);
    return Transfer::Complete;
}

BOOL CHttpsChannel::FetchPackage(const PackageCandidate& package, const CString& localPath) {
    const CString partPath = localPath + kPartSuffix;
    Transfer result = Transfer::Refused;
    if (partPath.size() <= kMaxBuiltPath) {
        for (int attempt = 0; attempt <= kResumes; ++attempt) {
            if (attempt > 0) {
                // A short pause before taking it up again; Cancel still works meanwhile.
                for (DWORD waited = 0; waited < kResumePauseMs; waited += 50) {
                    m_run.PumpMessages();
                    ::Sleep(50);
                }
                if (m_run.m_progress && m_run.m_progress->IsCancelRequested()) {
                    result = Transfer::Aborted;
                    break;
                }
            }
            result = TransferOnce(package, partPath);
            if (result != Transfer::Cut)
                break;
        }
    }
    switch (result) {
    case Transfer::Complete:
        WriteParamsText(kPartRecordValue, std::string());
        if (::MoveFileExA(partPath.c_str(), localPath.c_str(), MOVEFILE_REPLACE_EXISTING))
            return TRUE;
        m_run.m_errorText = kRetrieveFailed;
        return FALSE;
    case Transfer::Mismatch:
        WriteParamsText(kPartRecordValue, std::string());
        ::DeleteFileA(partPath.c_str());
        m_run.m_errorText = kListMismatch;
        return FALSE;
    case Transfer::Untrusted:
        m_run.m_errorText = kServerIdentity;
        return FALSE;
    case Transfer::Aborted:
        m_run.m_errorText = kAborted; // what arrived stays for the next run
        return FALSE;
    default:
        m_run.m_errorText = kRetrieveFailed;
        return FALSE;
    }
}

CHttpsChannel::Transfer CHttpsChannel::TransferOnce(const PackageCandidate& package,
                                                    const CString& partPath) {
    // What an earlier attempt left is taken up only for the same list entry, with the server's validator.
    std::uint64_t offset = 0;
    std::string validator;
    const std::string record = ReadParamsText(kPartRecordValue);
    const std::string entry = PartRecordFor(package, std::string());
    const long long partSize = FileSizeOf(partPath);
    if (partSize > 0 && record.size() > entry.size() && record.compare(0, entry.size(), entry) == 0 &&
        static_cast<std::uint64_t>(partSize) <= package.size) {
        offset = static_cast<std::uint64_t>(partSize);
        validator = record.substr(entry.size());
    } else {
        ::DeleteFileA(partPath.c_str());
    }
    if (offset == package.size)
        return Transfer::Complete;

    CTransferProgressDlg* progress = m_run.m_progress.get();
    if (progress) {
        progress->SetStatusText(kRequesting);
        progress->ShowTransferControls();
        m_run.PumpMessages();
    }
    CInternetHandle request;
    DWORD status = 0;
    std::string headers;
    if (offset > 0)
        headers = "Range: bytes=" + std::to_string(offset) + "-\r\nIf-Range: " + validator + "\r\n";
    Transfer sent = Request(package.name, headers, request, status);
    if (sent == Transfer::Complete && offset > 0 &&
        !(status == 206 &&
          ContentRangeFits(QueryText(request, HTTP_QUERY_CONTENT_RANGE), offset, package.size))) {
        // Any other answer to the rest starts from zero.
        offset = 0;
        if (status != 200)
            sent = Request(package.name, std::string(), request, status);
    }
    if (sent != Transfer::Complete)
        return sent;
    if (status != (offset > 0 ? 206u : 200u))
        return Transfer::Refused;
    // A server announcing another length is not serving the listed file; more is never read.
    const std::string length = QueryText(request, HTTP_QUERY_CONTENT_LENGTH);
    if (!length.empty() && DecimalOf(length) != package.size - offset)
        return Transfer::Mismatch;
    std::string newValidator = QueryText(request, HTTP_QUERY_ETAG);
    if (newValidator.empty())
        newValidator = QueryText(request, HTTP_QUERY_LAST_MODIFIED);
    WriteParamsText(kPartRecordValue,
                    newValidator.empty() ? std::string() : PartRecordFor(package, newValidator));

    CHandle part(::CreateFileA(partPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!part || !::SetFilePointerEx(part.Get(), position, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(part.Get()))
        return Transfer::Refused;
    if (m_run.m_progress) {
        m_run.m_progress->SetStatusText(kReceiving);
        m_run.PumpMessages();
    }
    m_run.m_bytesExpected = package.size;
    m_run.m_bytesReceived = offset;
    CTransferWatchdog watchdog(std::move(request), m_idleMs);
    std::vector<char> buffer(64 * 1024);
    while (m_run.m_bytesReceived < package.size) {
        const std::uint64_t left = package.size - m_run.m_bytesReceived;
        const DWORD want = static_cast<DWORD>(left < buffer.size() ? left : buffer.size());
        DWORD got = 0;
        if (!::InternetReadFile(watchdog.Request(), buffer.data(), want, &got) || got == 0)
            return Transfer::Cut; // reset, timed out, silent too long, or ended before its length
        watchdog.Alive();
        DWORD written = 0;
        if (!::WriteFile(part.Get(), buffer.data(), got, &written, nullptr) || written != got)
            return Transfer::Refused;
        m_run.m_bytesReceived += got;
        if (m_run.m_progress) {
            m_run.m_progress->SetPosition(TransferPercent(m_run.m_bytesReceived, package.size));
            m_run.PumpMessages();
            if (m_run.m_progress && m_run.m_progress->IsCancelRequested())
                return Transfer::Aborted;
        }
    }
    return Transfer::Complete;
}
