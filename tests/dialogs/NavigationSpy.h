// What the help window hands the browser control, seen from outside the product: where no rendering
// engine is installed the page itself cannot be inspected, so the control's Navigate calls are read
// at its automation interface.
#pragma once

#include <windows.h>

#include <string>

namespace pmtest {

struct NavigationRecord {
    int count = 0;
    std::string url;
    HRESULT result = E_FAIL; // what the control answered
};

// From now on records every Navigate of a WebBrowser control in this process (COM must be started);
// false when the control's automation interface could not be reached.
bool WatchNavigation();
// The last Navigate recorded, and how many there were.
const NavigationRecord& LastNavigation();

} // namespace pmtest
