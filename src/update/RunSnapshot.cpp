#include "RunSnapshot.h"

#include "DelayLoads.h"
#include "core/IntegerText.h"
#include "core/VersionText.h"
#include "framework/Handles.h"
#include "system/AnsiText.h"
#include "system/RegistryTable.h"
#include "system/Settings.h"

#include <bcrypt.h>

#include <cstdlib>
#include <vector>

namespace {

ThumbprintList LoadPinnedSigners() {
    const RegistryData pins = ReadValueInForce(RegistryName::PackageSigners);
    // Present but not text: never a valid list.
    return ParseThumbprintList(pins.read == RegistryRead::WrongType ? "?" : AsciiOf(pins.list));
}

ProductList LoadPackageProducts() {
    const RegistryData products = ReadValueInForce(RegistryName::PackageProducts);
    if (products.read == RegistryRead::WrongType) {
        ProductList nothing;
        nothing.status = ProductList::Status::Empty;
        return nothing;
    }
    return ParseProductList(products.list);
}

// The serial of the list used last, read as the list's own numbers are (blanks at the ends allowed); none
// when missing or not a decimal number.
std::optional<std::uint64_t> RecordedSerial() {
    const std::string text = ReadUserValue(RegistryName::FeedSerial).text;
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::nullopt : DecimalValue(text.substr(first, last - first + 1));
}

// Every version recorded under the record's key, of the type it is written with.
std::map<std::u16string, std::string> RecordedVersions() {
    std::map<std::u16string, std::string> versions;
    CRegKey record;
    if (record.Open(HKEY_CURRENT_USER, kPackagesKeyPath, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return versions;
    std::vector<wchar_t> name(16384); // the longest name a value may have
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        wchar_t data[32] = L"";
        DWORD size = sizeof data - sizeof data[0];
        DWORD type = REG_NONE;
        const LONG result = ::RegEnumValueW(record.Get(), index, name.data(), &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        // A text too long for a version is no record.
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const std::u16string product(reinterpret_cast<const char16_t*>(name.data()), nameLength);
        versions[product] = AsciiOf(std::wstring(data));
    }
    return versions;
}
} // namespace

int LoadRolloutBucket() {
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

CRunSnapshot::CRunSnapshot(CSettings& settings, CWinApp& profile)
    : m_server(settings.m_server), m_userName(settings.m_user), m_password(settings.m_pass),
      m_remoteFolder(settings.m_pathToFile), m_passive(settings.m_passiveFTP),
      m_browserFolderKnown(!settings.m_browserDir.empty()),
      m_downloadFolder(settings.GetDownloadFilePath("")), m_lastDownloadFile(settings.m_lastDownloadFile),
      m_signers(LoadPinnedSigners()), m_products(LoadPackageProducts()), m_recordedSerial(RecordedSerial()),
      m_rolloutBucket(LoadRolloutBucket()), m_partRecord(ReadUserValue(RegistryName::PartialDownload).text),
      m_settings(settings), m_profile(profile), m_versions(RecordedVersions()) {
    const RegistryData required = ReadValueInForce(RegistryName::RequireSignedFeed);
    m_signedListsRequired = required.read == RegistryRead::WrongType || required.number != 0;
}

std::optional<std::uint64_t> CRunSnapshot::InstalledVersion(const std::u16string& product) const {
    for (const auto& [name, version] : m_versions) {
        if (SameNameIgnoringCase(name, product))
            return ParseVersionText(version);
    }
    return std::nullopt;
}

void CRunSnapshot::RecordLastDownload(const CString& path) {
    m_settings.RecordLastDownload(m_profile, path);
    m_lastDownloadFile = path;
}

void CRunSnapshot::RecordSerial(std::uint64_t serial) {
    if (m_recordedSerial && serial <= *m_recordedSerial)
        return;
    WriteUserValue(RegistryName::FeedSerial, std::to_string(serial));
    m_recordedSerial = serial;
}

void CRunSnapshot::RecordPart(const std::string& record) {
    WriteUserValue(RegistryName::PartialDownload, record);
    m_partRecord = record;
}

void CRunSnapshot::RecordVersion(const std::u16string& product, std::uint64_t version) {
    CRegKey record;
    if (record.Create(HKEY_CURRENT_USER, kPackagesKeyPath) != ERROR_SUCCESS)
        return;
    const std::string text = VersionText(version);
    const std::wstring data(text.begin(), text.end());
    if (::RegSetValueExW(record.Get(), reinterpret_cast<const wchar_t*>(product.c_str()), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        return;
    for (auto entry = m_versions.begin(); entry != m_versions.end();)
        entry = SameNameIgnoringCase(entry->first, product) ? m_versions.erase(entry) : std::next(entry);
    m_versions[product] = text;
}
