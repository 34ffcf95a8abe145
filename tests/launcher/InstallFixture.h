// An installed layout for launcher tests: a program folder holding a copy of Pendlemark.exe, a
// launcher folder and a browser folder named in cvl.ini. Registry, cvl.ini and program instances
// are cleared before and after each test.
#pragma once

#include "framework/Handles.h"
#include "support/ResidentProgram.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>

// The launcher file contents the tests tell apart.
const char kOriginal[] = "the browser's own launcher";
const char kOurs[] = "our launcher copy";

using pmtest::Quote;

class InstallFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        TearDown();
        ASSERT_TRUE(::CopyFileA(pmtest::BuiltProgram("Pendlemark.exe").c_str(), Program().c_str(), FALSE));
        pmtest::WriteCvlIni(m_browser.Path().c_str(), m_launcher.Path().c_str());
    }
    void TearDown() override {
        pmtest::ResetProgramState();
        pmtest::RemoveCvlIni();
        pmtest::DeleteCorvalisKeys();
    }

    std::string Program() const { return m_program.File("Pendlemark.exe"); }
    std::string ProgramFile(const std::string& name) const { return m_program.File(name); }
    std::string LauncherFile(const std::string& name) const { return m_launcher.File(name); }
    std::string DownloadFolder() const { return m_browser.File("Pendlemark"); }

    // Starts the resident program and waits for its main window; null window on failure.
    pmtest::Process StartResident(HWND& window, const char* currentDir = nullptr) {
        // Without the switch the default settings would ask for an update at once.
        return pmtest::StartPendlemark("/NoUpdateOnStartup", &window, 15000, Program(), currentDir);
    }
    // One resident start, closed again as soon as its main window exists (the swap-in is done by then).
    void StartAndCloseResident(const char* currentDir = nullptr) {
        HWND window = nullptr;
        pmtest::Process process = StartResident(window, currentDir);
        ASSERT_NE(window, nullptr) << "the resident instance showed no main window";
        ::PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_NE(process.Wait(10000), -1) << "the resident instance did not end after WM_CLOSE";
    }
    // Runs the program with the uninstall switch; its exit code, or -1 after the time-out.
    long RunUninstall() { return pmtest::StartPendlemark("/uninstall", nullptr, 0, Program()).Wait(15000); }

    pmtest::TempDir m_program{"pm-program"};
    pmtest::TempDir m_launcher{"pm-launcher dir"};
    pmtest::TempDir m_browser{"pm-browser"};
};
