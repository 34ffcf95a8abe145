#include "FtpTestServer.h"

#include "TestEnv.h"

#include <windows.h>

#include <cstdlib>

namespace pmtest {

FtpTestServer::FtpTestServer(const char* name, int host) : m_address(TestNetAddress(host)) {
    const char* state = std::getenv("PM_FTP_STATE");
    m_state = state && *state ? WinePath(state) + "\\" + name : std::string();
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

std::vector<std::string> FtpTestServer::Logins() const {
    return ReadFileLines(m_state + "\\logins.txt");
}

std::vector<std::string> FtpTestServer::Activity() const {
    return ReadFileLines(m_state + "\\activity.txt");
}

} // namespace pmtest
