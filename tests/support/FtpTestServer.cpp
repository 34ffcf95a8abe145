#include "FtpTestServer.h"

#include "TestEnv.h"

#include <windows.h>

#include <cstdlib>

namespace pmtest {

namespace {
// In the build's ftp folder beside bin/, where its fixtures keep them, unless PM_FTP_STATE names another.
std::string StateOf(const char* name) {
    const char* state = std::getenv("PM_FTP_STATE");
    return (state && *state ? WinePath(state) : ProgramDir() + "..\\ftp") + "\\" + name;
}
} // namespace

FtpTestServer::FtpTestServer(const char* name, int host)
    : ServerFolder(StateOf(name)), m_address(TestNetAddress(host)) {}

bool FtpTestServer::SetListing(const std::vector<std::string>& lines, const std::string& folder) const {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    std::string dir = folder.empty() ? Root() : Root() + "\\" + folder;
    return WriteFileText(dir + "\\.order", text);
}

bool FtpTestServer::RefuseListing() const {
    return WriteFileText(Root() + "\\.listfail", "");
}

bool FtpTestServer::SetListDelay(int milliseconds) const {
    const std::string marker = Root() + "\\.listdelay";
    if (milliseconds <= 0)
        return ::DeleteFileA(marker.c_str()) || !FileExists(marker);
    return WriteFileText(marker, std::to_string(milliseconds));
}

} // namespace pmtest
