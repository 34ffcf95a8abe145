// An installed layout for launcher tests: a program folder holding a copy of Pendlemark.exe, a
// launcher folder and a browser folder named in cvl.ini. Registry, cvl.ini and program instances
// are cleared before and after each test.
#pragma once

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>

class InstallFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string Program() const { return m_program.File("Pendlemark.exe"); }
    std::string ProgramFile(const std::string& name) const { return m_program.File(name); }
    std::string LauncherFile(const std::string& name) const { return m_launcher.File(name); }
    std::string DownloadFolder() const { return m_browser.File("Pendlemark"); }

    // Starts the resident program and waits for its main window; null window on failure.
    pmtest::Process StartResident(HWND& window, const char* currentDir = nullptr);
    // One resident start, closed again as soon as its main window exists (the swap-in is done by then).
    void StartAndCloseResident(const char* currentDir = nullptr);
    // Runs the program with the uninstall switch and waits for it; its exit code, or -1 after the time-out.
    long RunUninstall(const std::string& uninstallSwitch = "/uninstall");

    pmtest::TempDir m_program{"pm-program"};
    pmtest::TempDir m_launcher{"pm-launcher dir"};
    pmtest::TempDir m_browser{"pm-browser"};
};

// The launcher file contents the tests tell apart.
const char kOriginal[] = "the browser's own launcher";
const char kOurs[] = "our launcher copy";

std::string Quote(const std::string& path);
// Creation and last-write time, milliseconds after a fixed second (Wine keeps only the last-write
// time and reports it as the creation time).
bool SetFileTimes(const std::string& path, int millisecondsAfterBase);
// The top-level "Pendlemark" window of that process, waited for; null after the time-out.
HWND WaitForMainWindowOf(DWORD processId, DWORD timeoutMs = 15000);
// Waits until no process of that executable name (no folder) runs; false after the time-out.
bool WaitForNoProcessNamed(const char* exeName, DWORD timeoutMs = 10000);
