// Common platform includes and small helpers for the framework layer.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>

// Byte strings in the system's ANSI code page throughout.
using CString = std::string;

// Loads a string resource from the program's module; empty when missing.
CString AfxLoadString(UINT id);

// The program's resource module.
HINSTANCE AfxGetResourceHandle();
