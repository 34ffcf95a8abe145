#include "HttpsTestServer.h"

#include "TestEnv.h"

namespace pmtest {

HttpsTestServer::HttpsTestServer(const char* name, int host, int port, bool plain)
    : ServerFolder(ProgramDir() + "..\\https\\" + name) {
    const std::string address = TestNetAddress(host);
    m_address = (plain ? "http://" : "https://") + address + (port ? ":" + std::to_string(port) : "");
    m_hostPort = address + ":" + std::to_string(port ? port : plain ? 80 : 443);
}

bool HttpsTestServer::AddFault(const std::string& line, int times) const {
    const std::string file = Root() + "\\.faults";
    return WriteFileText(file, ReadFileText(file) + line + (times ? " " + std::to_string(times) : "") + "\n");
}

bool HttpsTestServer::CutAfter(const std::string& path, long long bytes, int times) const {
    return AddFault("cut " + path + " " + std::to_string(bytes), times);
}

bool HttpsTestServer::StallAfter(const std::string& path, long long bytes, int seconds, int times) const {
    return AddFault("stall " + path + " " + std::to_string(bytes) + " " + std::to_string(seconds), times);
}

bool HttpsTestServer::Hang(const std::string& path, int seconds, int times) const {
    return AddFault("hang " + path + " " + std::to_string(seconds), times);
}

bool HttpsTestServer::Mute(int seconds, int times) const {
    return AddFault("mute " + std::to_string(seconds), times);
}

bool HttpsTestServer::AnnounceLength(const std::string& path, long long length, int times) const {
    return AddFault("length " + path + " " + std::to_string(length), times);
}

bool HttpsTestServer::AnswerStatus(const std::string& path, int code, int times) const {
    return AddFault("status " + path + " " + std::to_string(code), times);
}

bool HttpsTestServer::Redirect(const std::string& path, const std::string& url, int times, int code) const {
    return AddFault("redirect " + path + " " + url + " " + std::to_string(code), times);
}

bool HttpsTestServer::SendSlowly(const std::string& path, int bytesPerSecond, int times) const {
    return AddFault("slow " + path + " " + std::to_string(bytesPerSecond), times);
}

bool HttpsTestServer::IgnoreRange(const std::string& path, int times) const {
    return AddFault("norange " + path, times);
}

bool HttpsTestServer::WrongContentRange(const std::string& path, long long start, int times) const {
    return AddFault("badrange " + path + " " + std::to_string(start), times);
}

bool HttpsTestServer::RequireLogin(const std::string& user, const std::string& password) const {
    return AddFault("login " + user + " " + password, 0);
}

} // namespace pmtest
