#include "UpdateSoak.h"

#include "PackageRecord.h"
#include "UiDriver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace pmtest {

namespace {
const char kNothingNew[] = "There are no new updates available for download.";
} // namespace

UpdateSoak::UpdateSoak(const FtpTestServer& server, const std::string& browserDir)
    : m_server(server), m_browserDir(browserDir) {}

UpdateSoak::~UpdateSoak() {
    m_program.Kill();
}

bool UpdateSoak::Start(std::string& error) {
    if (!m_server.Available()) {
        error = "no FTP server";
        return false;
    }
    m_server.Clear();
    ResidentProgram::Prepare(m_server.Address(), m_browserDir);
    if (!m_program.Start()) {
        error = "Pendlemark.exe did not start";
        return false;
    }
    m_linuxPid = LinuxPidOf("Pendlemark.exe");
    return true;
}

bool UpdateSoak::Run(int number, SoakRun& run, std::string& error) {
    run = SoakRun();
    run.number = number;
    run.newPackage = number % 2 == 1;
    if (run.newPackage) {
        m_lastPackage = DatedPackageName(number / 2);
        m_server.Clear(); // one package on the server, so that every listing is alike
        if (!m_server.ServeCopy(m_lastPackage, BuiltProgram("pm_recording_package.exe"))) {
            error = "package not served";
            return false;
        }
    }
    const std::string local = m_browserDir + "\\Pendlemark\\" + m_lastPackage;

    const DWORD start = ::GetTickCount();
    m_program.RequestUpdate();
    std::string boxText;
    bool ended = m_program.FinishRun(boxText);
    run.milliseconds = ::GetTickCount() - start;
    if (!ended) {
        error = "run " + std::to_string(number) + " did not end";
        return false;
    }

    if (run.newPackage) {
        ++m_installs;
        std::vector<PackageStart> starts = RecordedStarts(m_browserDir + "\\Pendlemark");
        if (!boxText.empty()) {
            error = "box instead of an installation: " + boxText;
        } else if (RegString(kParamsKey, "LastDownloadFile") != local) {
            error = "not recorded: " + RegString(kParamsKey, "LastDownloadFile");
        } else if (static_cast<int>(starts.size()) != m_installs) {
            error = "package started " + std::to_string(starts.size()) + " times in " +
                    std::to_string(m_installs) + " installations";
        } else if (FileExists(local)) {
            error = "package not deleted";
        }
    } else if (boxText != kNothingNew) {
        error = "box said '" + boxText + "'";
    }
    if (!error.empty()) {
        error = "run " + std::to_string(number) + ": " + error;
        return false;
    }
    run.figures = MeasureProcess(m_program.Id(), m_linuxPid);
    return true;
}

namespace {
struct Figure {
    const char* name;
    std::function<long long(const ProcessFigures&)> value;
    long long slack; // allowed difference; negative: that many per mille of the base
};

const Figure kFigures[] = {
    {"handles", [](const ProcessFigures& f) { return f.handles; }, 2},
    {"GDI objects", [](const ProcessFigures& f) { return f.gdiObjects; }, 0},
    {"windows", [](const ProcessFigures& f) { return f.userWindows; }, 0},
    {"private bytes", [](const ProcessFigures& f) { return f.privateBytes; }, -20},
    {"RssAnon kB", [](const ProcessFigures& f) { return f.rssAnonKb; }, -20},
    {"Linux fds", [](const ProcessFigures& f) { return f.linuxFds; }, 2},
};
} // namespace

std::vector<std::string> GrowthAfterWarmUp(const std::vector<SoakRun>& runs, size_t warmUp) {
    std::vector<std::string> faults;
    if (runs.size() <= warmUp || warmUp == 0)
        return faults;
    const ProcessFigures& base = runs[warmUp - 1].figures;
    for (const Figure& figure : kFigures) {
        const long long baseValue = figure.value(base);
        if (baseValue < 0) {
            faults.push_back(std::string(figure.name) + " could not be measured");
            continue;
        }
        const long long slack = figure.slack >= 0 ? figure.slack : baseValue * -figure.slack / 1000;
        for (size_t i = warmUp; i < runs.size(); ++i) {
            const long long value = figure.value(runs[i].figures);
            if (std::llabs(value - baseValue) > slack) {
                faults.push_back(std::string(figure.name) + " after run " + std::to_string(runs[i].number) +
                                 ": " + std::to_string(value) + ", after the warm-up " +
                                 std::to_string(baseValue));
                break;
            }
        }
    }
    return faults;
}

std::string SoakReport(const std::vector<SoakRun>& runs, size_t warmUp) {
    std::string text = "  run  outcome    ms  handles  GDI  windows  private bytes  RssAnon kB  fds\n";
    char line[160];
    for (const SoakRun& run : runs) {
        const ProcessFigures& f = run.figures;
        std::snprintf(line, sizeof line, "%5d  %-9s %5lu  %7ld  %3ld  %7ld  %13lld  %10lld  %3ld\n",
                      run.number, run.newPackage ? "installed" : "box", run.milliseconds, f.handles,
                      f.gdiObjects, f.userWindows, f.privateBytes, f.rssAnonKb, f.linuxFds);
        text += line;
    }
    if (runs.empty())
        return text;
    const size_t base = std::min(warmUp, runs.size()) - (warmUp > 0 ? 1 : 0);
    text += "figure            first  after warm-up         last  min after w.  max after w.\n";
    for (const Figure& figure : kFigures) {
        long long low = figure.value(runs[base].figures);
        long long high = low;
        for (size_t i = base; i < runs.size(); ++i) {
            low = std::min(low, figure.value(runs[i].figures));
            high = std::max(high, figure.value(runs[i].figures));
        }
        std::snprintf(line, sizeof line, "%-13s %9lld  %13lld  %11lld  %12lld  %12lld\n", figure.name,
                      figure.value(runs.front().figures), figure.value(runs[base].figures),
                      figure.value(runs.back().figures), low, high);
        text += line;
    }
    for (int installed = 1; installed >= 0; --installed) {
        DWORD total = 0, fastest = ~0UL, slowest = 0, count = 0;
        for (const SoakRun& run : runs) {
            if (run.newPackage != (installed == 1))
                continue;
            total += run.milliseconds;
            fastest = std::min(fastest, run.milliseconds);
            slowest = std::max(slowest, run.milliseconds);
            ++count;
        }
        if (count == 0)
            continue;
        std::snprintf(line, sizeof line,
                      "%lu %s runs: %lu ms in all, %lu ms a run (fastest %lu, slowest %lu)\n", count,
                      installed ? "installing" : "box", total, total / count, fastest, slowest);
        text += line;
    }
    return text;
}

} // namespace pmtest
