// Every text an update run shows: the boxes, their captions, and the progress window's phases.
#pragma once

namespace UpdateText {
// Captions.
inline constexpr char kRunCaption[] = "Corvalis Wayrail";
inline constexpr char kQuestionCaption[] = "Corvalis";
// The scheduler's question before an automatic update.
inline constexpr char kQuestion[] = "Do you wish to automatically update your menu items?";

// Phases in the progress window.
inline constexpr char kConnecting[] = "Checking for internet connection...";
inline constexpr char kChecking[] = "Checking for updates...";
inline constexpr char kRequesting[] = "Requesting update...";
inline constexpr char kReceiving[] = "Receiving update...";

// What a run that installs nothing ends with.
inline constexpr char kNoConnection[] = "Unable to establish connection to the Internet";
inline constexpr char kFolderFailed[] = "Unable to set PathToFile [%li].\n";
inline constexpr char kNoUpdate[] = "No Update Available.";
inline constexpr char kNothingNew[] = "There are no new updates available for download.";
inline constexpr char kRetrieveFailed[] = "Error retrieving update file.";
inline constexpr char kAborted[] = "Download aborted!";
inline constexpr char kInstallFailed[] = "Error installing update.";
inline constexpr char kUntrusted[] = "The update file is not signed by a trusted publisher.";
inline constexpr char kForeignProduct[] = "The update file is for another product.";
inline constexpr char kNotNewer[] = "The update file is not newer than the installed one.";
inline constexpr char kListMismatch[] = "The update file does not match the update list.";
inline constexpr char kServerUnsupported[] = "The update server address is not supported.";
inline constexpr char kServerIdentity[] = "The update server's identity could not be verified.";
inline constexpr char kListUnreadable[] = "The update list could not be read.";
inline constexpr char kListUntrusted[] = "The update list is not signed by a trusted publisher.";
inline constexpr char kListExpired[] = "The update list has expired.";
inline constexpr char kListOlder[] = "The update list is older than one already seen.";

// Who started a run, as the update log says.
inline constexpr char kByUser[] = "started by the user";
inline constexpr char kBySchedule[] = "started by the schedule";
inline constexpr char kByStartUp[] = "started by the start-up check";
inline constexpr char kByProgram[] = "started by another program (CVLAutoUpdate)";

// The scheduler's "&Update Now" says in its notification code (the high word of the command's wParam)
// which of them asked; a menu's or a dialog's is 0, the user.
enum StartedBy : unsigned short {
    kStartedByUser = 0,
    kStartedBySchedule = 0x5701,
    kStartedByStartUp,
    kStartedByProgram
};
inline const char* StartedByText(unsigned short code) {
    switch (code) {
    case kStartedBySchedule:
        return kBySchedule;
    case kStartedByStartUp:
        return kByStartUp;
    case kStartedByProgram:
        return kByProgram;
    default:
        return kByUser;
    }
}
} // namespace UpdateText
