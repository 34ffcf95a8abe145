#include "UpdateList.h"

#include "ListSignature.h"
#include "UpdateRun.h"
#include "UpdateTexts.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {
std::string UtcText(std::int64_t seconds) {
    // FILETIME counts 100 ns from 1601; 11644473600 s lie between 1601 and 1970.
    const long long ticks = (seconds + 11644473600LL) * 10000000LL;
    FILETIME time{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME fields{};
    char text[32] = "?";
    if (ticks >= 0 && ::FileTimeToSystemTime(&time, &fields))
        std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", fields.wYear, fields.wMonth,
                      fields.wDay, fields.wHour, fields.wMinute, fields.wSecond);
    return text;
}

const char* VerdictText(FeedVerdict verdict) {
    switch (verdict) {
    case FeedVerdict::Untrusted:
        return UpdateText::kListUntrusted;
    case FeedVerdict::Expired:
        return UpdateText::kListExpired;
    case FeedVerdict::Older:
        return UpdateText::kListOlder;
    default:
        return UpdateText::kNoUpdate;
    }
}
} // namespace

CUpdateList::CUpdateList(const CRunSnapshot& snapshot) : m_signers(snapshot.m_signers) {
    m_client.signedListsRequired = snapshot.m_signedListsRequired;
    m_client.recordedSerial = snapshot.m_recordedSerial;
    m_client.bucket = snapshot.m_rolloutBucket;
}

bool CUpdateList::SignatureNeeded() const {
    return m_client.signedListsRequired || m_signers.status != ThumbprintList::Status::None;
}

BOOL CUpdateList::Choose(const std::string& list, const std::optional<std::string>& signature,
                         PackageCandidate& newest, CUpdateRun& run) {
    CString& errorText = run.m_errorText;
    m_passed = false;
    m_feed = ParseUpdateFeed(list);
    if (!m_feed) {
        errorText = UpdateText::kListUnreadable;
        return FALSE;
    }
    FeedSignature checked;
    if (SignatureNeeded() && signature)
        checked = CheckListSignature(list, *signature);
    m_client.now = static_cast<std::int64_t>(std::time(nullptr));
    const FeedDecision decision = DecideFeed(*m_feed, checked, m_signers, m_client);
    std::string signed_ = "its signature not required";
    if (SignatureNeeded())
        signed_ =
            decision.verdict == FeedVerdict::Untrusted
                ? signature ? "its signature refused" : "no signature"
                : "its signature checked, signer " + ThumbprintHex(checked.signer.value_or(Thumbprint{}));
    run.Note("update list: serial " + std::to_string(m_feed->serial) + ", expires " +
             UtcText(m_feed->expires) + ", " + signed_);
    m_passed = decision.verdict == FeedVerdict::Accepted || decision.verdict == FeedVerdict::NoPackage;
    if (m_passed)
        run.m_snapshot.RecordSerial(m_feed->serial);
    if (decision.verdict != FeedVerdict::Accepted || !decision.entry) {
        errorText = VerdictText(decision.verdict);
        return FALSE;
    }
    newest.name = decision.entry->name;
    newest.size = decision.entry->size;
    newest.sha256 = decision.entry->sha256;
    return TRUE;
}
