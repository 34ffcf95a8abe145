// Opens the help window in a process of its own, so that "the program's folder" is wherever this
// copy lies. Writes what the browser control was handed to the file named by its argument.
#include "NavigationSpy.h"
#include "dialogs/HelpDlg.h"
#include "framework/OleControlSite.h"
#include "res/resource.h"
#include "support/UiDriver.h"

#include <ole2.h>

#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    if (FAILED(::OleInitialize(nullptr)))
        return 3;
    if (!pmtest::WatchNavigation())
        return 6;
    bool hostWithDispatch = false;
    std::thread user([&] {
        HWND help = pmtest::WaitForWindow("#32770", "About Corvalis Wayrail", 10000);
        if (!help)
            return;
        COleControlSite* site = COleControlSite::FromHostWindow(::GetDlgItem(help, IDC_BROWSER));
        hostWithDispatch = site && site->GetDispatch();
        pmtest::ClickButton(help, IDOK);
    });
    INT_PTR result;
    {
        CHelpDlg dialog(nullptr);
        result = dialog.DoModal();
    }
    user.join();
    ::OleUninitialize();

    const pmtest::NavigationRecord& navigation = pmtest::LastNavigation();
    FILE* out = std::fopen(argv[1], "wb");
    if (!out)
        return 4;
    std::fprintf(out, "url=%s\nresult=%ld\nhost=%d\n", navigation.url.c_str(),
                 static_cast<long>(navigation.result), hostWithDispatch ? 1 : 0);
    std::fclose(out);
    return result == IDOK ? 0 : 5;
}
