// The Windows side of a test FTP server started by a CTest fixture (tests/support/server_fixture.sh).
// Activity(): each LIST and RETR as the server began it, "LIST" or "RETR name".
#pragma once

#include "ServerFolder.h"

#include <string>
#include <vector>

namespace pmtest {

class FtpTestServer : public ServerFolder {
  public:
    // name: the server's state folder under <build>/ftp (or $PM_FTP_STATE); host: its number on $PM_TEST_NET.
    FtpTestServer(const char* name, int host);

    const std::string& Address() const { return m_address; }

    // The listing, one entry a line: "name", "name\tsize" or "name\tsize\td" (see ftp_server.py).
    bool SetListing(const std::vector<std::string>& lines, const std::string& folder = "") const;
    bool RefuseListing() const;
    // LIST answers after this delay; 0 answers at once.
    bool SetListDelay(int milliseconds) const;
    // Logins as the server saw them: "user\tpassword" each.
    std::vector<std::string> Logins() const { return Record("logins.txt"); }

  private:
    std::string m_address;
};

} // namespace pmtest
