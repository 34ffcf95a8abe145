#include "FtpTestServer.h"

#include "TestEnv.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

namespace pmtest {

namespace {
std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}
} // namespace

FtpTestServer::FtpTestServer(const char* name, int host) {
    m_address = EnvOr("PM_TEST_NET", "127.0.0") + "." + std::to_string(host);
    std::string state = EnvOr("PM_FTP_STATE", "");
    m_state = state.empty() ? std::string() : WinePath(state) + "\\" + name;
    m_root = m_state.empty() ? std::string() : m_state + "\\root";
}

bool FtpTestServer::Available() const {
    return !m_root.empty() && DirExists(m_root);
}

void FtpTestServer::Clear() const {
    if (m_root.empty())
        return;
    RemoveTree(m_root);
    ::CreateDirectoryA(m_root.c_str(), nullptr);
    WriteFileText(m_state + "\\logins.txt", "");
    WriteFileText(m_state + "\\activity.txt", "");
}

bool FtpTestServer::Serve(const std::string& name, const std::string& bytes) const {
    return WriteFileText(m_root + "\\" + name, bytes);
}

bool FtpTestServer::ServeCopy(const std::string& name, const std::string& sourcePath) const {
    return ::CopyFileA(sourcePath.c_str(), (m_root + "\\" + name).c_str(), FALSE) != FALSE;
}

bool FtpTestServer::SetListing(const std::vector<std::string>& lines, const std::string& folder) const {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    std::string dir = folder.empty() ? m_root : m_root + "\\" + folder;
    return WriteFileText(dir + "\\.order", text);
}

bool FtpTestServer::RefuseListing() const {
    return WriteFileText(m_root + "\\.listfail", "");
}

bool FtpTestServer::SetListDelay(int milliseconds) const {
    const std::string marker = m_root + "\\.listdelay";
    if (milliseconds <= 0)
        return ::DeleteFileA(marker.c_str()) || !FileExists(marker);
    return WriteFileText(marker, std::to_string(milliseconds));
}

namespace {
std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileText(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}
} // namespace

std::vector<std::string> FtpTestServer::Logins() const {
    return Lines(m_state + "\\logins.txt");
}

std::vector<std::string> FtpTestServer::Activity() const {
    return Lines(m_state + "\\activity.txt");
}

} // namespace pmtest
