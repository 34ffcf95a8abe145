// Everything an update run acts on, read once when it begins: the settings in force (the machine policy's
// where it sets them), the pinned publishers and products, whether the update list must be signed, the
// serial of the list used last, this user's rollout bucket, the record of a cut transfer and the versions
// installed of each product. Whatever the run records goes back through here, to the registry and to what
// the snapshot holds alike; nothing else of a run reads or writes the registry.
#pragma once

#include "core/ProductList.h"
#include "core/ThumbprintList.h"
#include "framework/Afx.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class CSettings;
class CWinApp;

class CRunSnapshot {
  public:
    // Draws and keeps a rollout bucket where there is none.
    CRunSnapshot(CSettings& settings, CWinApp& profile);

    // The version recorded for a product (the default value for the empty name); none when missing or
    // not "a.b.c.d" (whoever can damage it can as well delete it).
    std::optional<std::uint64_t> InstalledVersion(const std::u16string& product) const;

    // The package that has just run, and the time.
    void RecordLastDownload(const CString& path);
    // The serial of a list that passed its checks: kept only when it grows.
    void RecordSerial(std::uint64_t serial);
    // The record beside a cut transfer's part; empty: none.
    void RecordPart(const std::string& record);
    // An installed package's version, for its product.
    void RecordVersion(const std::u16string& product, std::uint64_t version);

    // The settings record's.
    CString m_server;
    CString m_userName;
    CString m_password;
    CString m_remoteFolder;
    int m_passive = 0;
    bool m_browserFolderKnown = false;
    CString m_downloadFolder;   // ends in a separator; empty when the path would not fit
    CString m_lastDownloadFile; // the package installed last, as its local path
    // The machine policy's when it is there and not empty, else the user's.
    ThumbprintList m_signers;
    ProductList m_products;
    // Any value that is not a DWORD of 0 requires, so that a damaged value never weakens the rule.
    bool m_signedListsRequired = false;
    std::optional<std::uint64_t> m_recordedSerial;
    int m_rolloutBucket = 0;
    std::string m_partRecord;

  private:
    CSettings& m_settings;
    CWinApp& m_profile;
    std::map<std::u16string, std::string> m_versions; // as recorded, REG_SZ values only
};

// The user's bucket, 0-99, drawn from the platform's generator when missing or out of range.
int LoadRolloutBucket();
