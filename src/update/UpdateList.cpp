#include "UpdateList.h"

#include "DelayLoads.h"
#include "ListSignature.h"
#include "UpdateTexts.h"
#include "core/IntegerText.h"
#include "framework/Handles.h"
#include "system/RegistryValue.h"
#include "system/Settings.h"

#include <bcrypt.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {
const char kSerialValue[] = "FeedSerial";
const char kBucketValue[] = "RolloutBucket";
const char kRequireValue[] = "RequireSignedFeed";

void WriteParam(const char* name, DWORD type, const void* data, DWORD size) {
    CRegKey params;
    if (params.Create(HKEY_CURRENT_USER, kParamsKeyPath) == ERROR_SUCCESS)
        ::RegSetValueExA(params.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

// The serial of the list used last; none when missing or not a decimal number.
std::optional<std::uint64_t> RecordedSerial() {
    std::uint64_t serial = 0;
    if (!ParseDecimal(ReadParamsText(kSerialValue), UINT64_MAX, serial))
        return std::nullopt;
    return serial;
}

void RecordSerial(std::uint64_t serial) {
    const std::optional<std::uint64_t> recorded = RecordedSerial();
    if (!recorded || serial > *recorded) // written only when it grows
        WriteParamsText(kSerialValue, std::to_string(serial));
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
    DWORD value = 0;
    RegistryRead policy = ReadRegistryDword(HKEY_LOCAL_MACHINE, kPolicyKeyPath, kRequireValue, value);
    if (policy == RegistryRead::Missing)
        policy = ReadRegistryDword(HKEY_CURRENT_USER, kParamsKeyPath, kRequireValue, value);
    return policy == RegistryRead::WrongType || (policy == RegistryRead::Value && value != 0);
}

int CUpdateList::LoadRolloutBucket() {
    DWORD bucket = 0;
    if (ReadRegistryDword(HKEY_CURRENT_USER, kParamsKeyPath, kBucketValue, bucket) == RegistryRead::Value &&
        bucket < 100)
        return static_cast<int>(bucket);
    // Rejection sampling keeps the hundred buckets equally likely.
    std::uint32_t random = 0;
    do {
        if (!DelayLoadsAvailable() || BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random),
                                                      sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
            random = static_cast<std::uint32_t>(::GetTickCount()) ^ static_cast<std::uint32_t>(std::rand());
    } while (random >= UINT32_MAX - UINT32_MAX % 100);
    bucket = random % 100;
    WriteParam(kBucketValue, REG_DWORD, &bucket, sizeof bucket);
    return static_cast<int>(bucket);
}

bool CUpdateList::SignatureNeeded() const {
    return m_client.signedListsRequired || m_signers.status != ThumbprintList::Status::None;
}

BOOL CUpdateList::Choose(const std::string& list, const std::optional<std::string>& signature,
                         PackageCandidate& newest, CString& errorText) {
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
    if (decision.verdict == FeedVerdict::Accepted || decision.verdict == FeedVerdict::NoPackage)
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
