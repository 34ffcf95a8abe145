// The Windows side of a test FTP server started by a CTest fixture (tests/support/server_fixture.sh).
#pragma once

#include <string>
#include <vector>

namespace pmtest {

class FtpTestServer {
  public:
    // name: the server's state folder under $PM_FTP_STATE; host: its number on $PM_TEST_NET.
    FtpTestServer(const char* name, int host);

    const std::string& Address() const { return m_address; }
    // The served folder, as this process sees it.
    const std::string& Root() const { return m_root; }
    bool Available() const;

    // Empties the served folder and the login record.
    void Clear() const;
    bool Serve(const std::string& name, const std::string& bytes) const;
    bool ServeCopy(const std::string& name, const std::string& sourcePath) const;
    // The listing, one entry a line: "name", "name\tsize" or "name\tsize\td" (see ftp_server.py).
    bool SetListing(const std::vector<std::string>& lines, const std::string& folder = "") const;
    bool RefuseListing() const;
    // LIST answers after this delay; 0 answers at once.
    bool SetListDelay(int milliseconds) const;
    // Logins as the server saw them: "user\tpassword" each.
    std::vector<std::string> Logins() const;
    // Each LIST and RETR as the server began it: "LIST" or "RETR name".
    std::vector<std::string> Activity() const;

  private:
    std::string m_address;
    std::string m_state;
    std::string m_root;
};

} // namespace pmtest
