#include "UpdateList.h"

#include "DelayLoads.h"
#include "ListSignature.h"
#include "UpdateTexts.h"
#include "core/IntegerText.h"
#include "system/RegistryTable.h"

#include <bcrypt.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {
// The serial of the list used last, read as the list's own numbers are (blanks at the ends allowed); none
// when missing or not a decimal number.
std::optional<std::uint64_t> RecordedSerial() {
    const std::string text = ReadUserValue(RegistryName::FeedSerial).text;
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    std::uint64_t serial = 0;
    if (first == std::string::npos || !ParseDecimal(text.substr(first, last - first + 1), UINT64_MAX, serial))
        return std::nullopt;
    return serial;
}

void RecordSerial(std::uint64_t serial) {
    const std::optional<std::uint64_t> recorded = RecordedSerial();
    if (!recorded || serial > *recorded) // written only when it grows
        WriteUserValue(RegistryName::FeedSerial, std::to_string(serial));
}

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

CUpdateList::CUpdateList() : m_signers(CPackageTrust::LoadPinnedSigners()) {
    m_client.signedListsRequired = SignedListsRequired();
    m_client.recordedSerial = RecordedSerial();
    m_client.bucket = LoadRolloutBucket();
}

bool CUpdateList::SignedListsRequired() {
    const RegistryData required = ReadValueInForce(RegistryName::RequireSignedFeed);
    return required.read == RegistryRead::WrongType || required.number != 0;
}

int CUpdateList::LoadRolloutBucket() {
    const RegistryData recorded = ReadUserValue(RegistryName::RolloutBucket);
    if (recorded.read == RegistryRead::Value)
        return static_cast<int>(recorded.number);
    // Rejection sampling keeps the hundred buckets equally likely.
    std::uint32_t random = 0;
    do {
        if (!DelayLoadsAvailable() || BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random),
                                                      sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
            random = static_cast<std::uint32_t>(::GetTickCount()) ^ static_cast<std::uint32_t>(std::rand());
    } while (random >= UINT32_MAX - UINT32_MAX % 100);
    const DWORD bucket = random % 100;
    WriteUserValue(RegistryName::RolloutBucket, bucket);
    return static_cast<int>(bucket);
}

bool CUpdateList::SignatureNeeded() const {
    return m_client.signedListsRequired || m_signers.status != ThumbprintList::Status::None;
}

BOOL CUpdateList::Choose(const std::string& list, const std::optional<std::string>& signature,
                         PackageCandidate& newest, CString& errorText, const UpdateContext& context) {
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
    Note(context, "update list: serial " + std::to_string(m_feed->serial) + ", expires " +
                      UtcText(m_feed->expires) + ", " + signed_);
    m_passed = decision.verdict == FeedVerdict::Accepted || decision.verdict == FeedVerdict::NoPackage;
    if (m_passed)
        RecordSerial(m_feed->serial);
    if (decision.verdict != FeedVerdict::Accepted || !decision.entry) {
        errorText = VerdictText(decision.verdict);
        return FALSE;
    }
    newest.name = decision.entry->name;
    newest.size = decision.entry->size;
    newest.sha256 = decision.entry->sha256;
    return TRUE;
}
