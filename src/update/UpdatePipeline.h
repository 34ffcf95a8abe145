// The steps of an update that are the same on every channel: from the package a channel offers to the
// package run and recorded. A channel only finds the newest package and fetches it.
#pragma once

#include "PackageTrust.h"
#include "Sha256.h"
#include "framework/Afx.h"
#include "framework/Handles.h"

#include <cstdint>
#include <functional>
#include <optional>

class CSettings;
class CUpdateLog;
class CWinApp;

// What a run needs to know of the settings, taken once when it begins.
struct UpdateContext {
    CString downloadFolder;   // ends in a separator; empty when the path would not fit
    CString lastDownloadFile; // the package installed last, as its local path
    std::function<void(const CString& localPath)> recordLastDownload;
    CUpdateLog* log = nullptr;       // the run's, when it keeps one
    std::function<void()> beforeRun; // right before the admitted package starts
};

// A line in the run's log, if it keeps one.
void Note(const UpdateContext& context, const std::string& text);
UpdateContext MakeUpdateContext(CSettings& settings, CWinApp& profile);

// A package on offer: its name and size as the server or the update list gives them; an update list
// also gives its digest.
struct PackageCandidate {
    CString name;
    std::uint64_t size = 0;
    std::optional<Sha256Digest> sha256;
};

// What a channel hands on with a fetched file besides its path.
struct FetchedPackage {
    // The handle that wrote it, still open and sharing reading only; none when the channel's transfer
    // wrote through a handle of its own that it closed.
    CHandle writer;
    // Of the bytes written, hashed as they arrived; none when not hashed.
    std::optional<Sha256Digest> digest;
};

// The parts of a run that differ from channel to channel. Each that fails has set the error text.
struct PackageChannel {
    std::function<BOOL(PackageCandidate& newest)> findNewest;
    // Into localPath, replacing what is there; a failed fetch leaves nothing there to run.
    std::function<BOOL(const PackageCandidate& package, const CString& localPath, FetchedPackage& fetched)>
        fetch;
    // The transfer is over: the progress window goes before anything runs.
    std::function<void()> transferDone;
    // Starts the admitted package and waits for its end; its exit code when it ran.
    std::function<BOOL(const CString& path, DWORD& exitCode)> run;
};

// Finds, fetches, checks, admits, starts, deletes and records the newest package. TRUE when one ran.
BOOL RunUpdatePipeline(const PackageChannel& channel, const UpdateContext& context, CPackageTrust& trust,
                       CString& errorText);

// The local path a candidate is fetched to, or FALSE with the error text: the package installed last,
// a path too long to build or to start, or an empty package.
BOOL PrepareDownload(const PackageCandidate& package, const UpdateContext& context, CString& localPath,
                     CString& errorText);

// Holds the fetched file (trust keeps the hold until it has started) and checks what is held against
// what was offered: its size, and the list's digest where there is one.
BOOL CheckFetched(const PackageCandidate& package, const CString& localPath, FetchedPackage& fetched,
                  CPackageTrust& trust, CString& errorText);

// Admits the held file, starts it and records it; the file is gone afterwards unless it could not start.
BOOL AdmitAndRun(const PackageChannel& channel, const UpdateContext& context, CPackageTrust& trust,
                 const CString& localPath, CString& errorText);
