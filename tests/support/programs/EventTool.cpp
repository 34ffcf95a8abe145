// Plays "another process" for the named events: pm_event set|reset NAME, or pm_event state NAME
// (exit code 1 when signalled, 0 when not, 2 when the event does not exist).
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3)
        return 3;
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, argv[2]);
    if (!event)
        return 2;
    int result = 0;
    if (std::strcmp(argv[1], "set") == 0)
        result = SetEvent(event) ? 0 : 4;
    else if (std::strcmp(argv[1], "reset") == 0)
        result = ResetEvent(event) ? 0 : 4;
    else if (std::strcmp(argv[1], "state") == 0)
        result = WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? 1 : 0;
    else
        result = 3;
    CloseHandle(event);
    return result;
}
