// The steps of an update that are the same on every channel: from the package a channel offers to the
// package run and recorded. A channel only finds the newest package and fetches it; the rest is the run's.
#pragma once

#include "Sha256.h"
#include "framework/Afx.h"
#include "framework/Handles.h"

#include <cstdint>
#include <functional>
#include <optional>

class CUpdateRun;

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

// The parts of a run that differ from channel to channel. Each that fails has set the run's error text.
struct PackageChannel {
    std::function<BOOL(PackageCandidate& newest)> findNewest;
    // Into localPath, replacing what is there; a failed fetch leaves nothing there to run.
    std::function<BOOL(const PackageCandidate& package, const CString& localPath, FetchedPackage& fetched)>
        fetch;
    // The suffix of a file the transfer writes beside the package (its part), whose path must fit too.
    CString besideSuffix;
};

// Finds, fetches, checks, admits, starts, deletes and records the newest package. TRUE when one ran.
BOOL RunUpdatePipeline(const PackageChannel& channel, CUpdateRun& run);

// The local path a candidate is fetched to, or FALSE with the error text: the package installed last,
// a path too long to build (with besideSuffix too) or to start, or an empty package.
BOOL PrepareDownload(const PackageCandidate& package, CUpdateRun& run, CString& localPath,
                     const CString& besideSuffix = CString());

// Holds the fetched file (the run's trust keeps the hold until it has started) and checks what is held
// against what was offered: its size, and the list's digest where there is one.
BOOL CheckFetched(const PackageCandidate& package, const CString& localPath, FetchedPackage& fetched,
                  CUpdateRun& run);

// Admits the held file, starts it and records it; the file is gone afterwards unless it could not start.
BOOL AdmitAndRun(CUpdateRun& run, const CString& localPath);
