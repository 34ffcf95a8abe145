// The state folder of a test server started by a CTest fixture (tests/support/server_fixture.sh), as this
// process sees it: root\ is what the server serves, activity.txt what it was asked, and its other records
// (*.txt) lie beside them.
#pragma once

#include <string>
#include <vector>

namespace pmtest {

class ServerFolder {
  public:
    // An empty state names no server: it is never Available().
    explicit ServerFolder(const std::string& state);

    // The served folder.
    const std::string& Root() const { return m_root; }
    bool Available() const;

    // Empties the served folder and the records.
    void Clear() const;
    // name may name folders below the root ("update/Pendlemark.feed"); they are made as needed.
    bool Serve(const std::string& name, const std::string& bytes) const;
    bool ServeCopy(const std::string& name, const std::string& sourcePath) const;
    // Each request as the server began it, one a line.
    std::vector<std::string> Activity() const { return Record("activity.txt"); }

  protected:
    std::vector<std::string> Record(const char* name) const;

  private:
    std::string ServedPath(const std::string& name) const;

    std::string m_state;
    std::string m_root;
};

} // namespace pmtest
