#include "ServerFolder.h"

#include "TestEnv.h"

#include <windows.h>

namespace pmtest {

ServerFolder::ServerFolder(const std::string& state) : m_state(state) {
    m_root = m_state.empty() ? std::string() : m_state + "\\root";
}

bool ServerFolder::Available() const {
    return !m_root.empty() && DirExists(m_root);
}

void ServerFolder::Clear() const {
    if (m_root.empty())
        return;
    RemoveTree(m_root);
    ::CreateDirectoryA(m_root.c_str(), nullptr);
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((m_state + "\\*.txt").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        WriteFileText(m_state + "\\" + data.cFileName, "");
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
}

std::string ServerFolder::ServedPath(const std::string& name) const {
    std::string path = m_root;
    std::string::size_type start = 0;
    for (std::string::size_type slash; (slash = name.find('/', start)) != std::string::npos;
         start = slash + 1) {
        path += "\\" + name.substr(start, slash - start);
        ::CreateDirectoryA(path.c_str(), nullptr);
    }
    return path + "\\" + name.substr(start);
}

bool ServerFolder::Serve(const std::string& name, const std::string& bytes) const {
    return WriteFileText(ServedPath(name), bytes);
}

bool ServerFolder::ServeCopy(const std::string& name, const std::string& sourcePath) const {
    return ::CopyFileA(sourcePath.c_str(), ServedPath(name).c_str(), FALSE) != FALSE;
}

std::vector<std::string> ServerFolder::Record(const char* name) const {
    return ReadFileLines(m_state + "\\" + name);
}

} // namespace pmtest
