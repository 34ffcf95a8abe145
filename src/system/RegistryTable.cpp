#include "RegistryTable.h"

#include "Settings.h"

#include <climits>
#include <cstring>
#include <iterator>

const char kMakerKeyPath[] = "Software\\Corvalis";
const char kProgramKeyPath[] = "Software\\Corvalis\\Pendlemark";
const char kParamsKeyPath[] = "Software\\Corvalis\\Pendlemark\\Params";
const char kPackagesKeyPath[] = "Software\\Corvalis\\Pendlemark\\Params\\Packages";
const char kPolicyKeyPath[] = "Software\\Policies\\Corvalis\\Pendlemark";

namespace {
constexpr RegistryType Text = RegistryType::Text, Dword = RegistryType::Dword, List = RegistryType::List;
constexpr RegistryRow::Range Any{INT_MIN, INT_MAX};
constexpr SetBy User = SetBy::User, Policy = SetBy::Policy;
constexpr WrongType AsMissing = WrongType::AsMissing, FailsClosed = WrongType::FailsClosed;
constexpr Kept Saved = Kept::Saved, Loaded = Kept::Loaded, Folder = Kept::Folder, Apart = Kept::Apart;
#define VALUE(name) RegistryName::name, #name

// One row a value (the admin templates' test reads them: keep each on one line). The range is that of
// the settings dialog where it shows the value.
// clang-format off
constexpr RegistryRow kRows[] = {
    // name                    type   range     set by  wrong type   kept    missing             member
    {VALUE(Server),             Text,  Any,      Policy, AsMissing,   Saved,  "ftp.corvalis.com", &CSettings::m_server},
    {VALUE(User),               Text,  Any,      User,   AsMissing,   Saved,  "",                 &CSettings::m_user},
    {VALUE(Pass),               Text,  Any,      User,   AsMissing,   Saved,  "",                 &CSettings::m_pass},
    {VALUE(PassiveFTP),         Dword, Any,      Policy, AsMissing,   Saved,  0,                  &CSettings::m_passiveFTP},
    {VALUE(PathToFile),         Text,  Any,      Policy, AsMissing,   Saved,  "/update/",         &CSettings::m_pathToFile},
    {VALUE(UpdateChoice),       Dword, {0, 1},   Policy, AsMissing,   Saved,  0,                  &CSettings::m_updateChoice},
    {VALUE(UpdateInterval),     Dword, {1, 120}, Policy, AsMissing,   Saved,  7,                  &CSettings::m_updateInterval},
    {VALUE(EnableAutoUpdate),   Dword, Any,      Policy, AsMissing,   Saved,  1,                  &CSettings::m_enableAutoUpdate},
    {VALUE(AskForConfirmation), Dword, Any,      Policy, AsMissing,   Saved,  1,                  &CSettings::m_askForConfirmation},
    {VALUE(PollTimer),          Dword, Any,      User,   AsMissing,   Saved,  1000,               &CSettings::m_pollTimer},
    {VALUE(LastDownloadFile),   Text,  Any,      User,   AsMissing,   Loaded, "",                 &CSettings::m_lastDownloadFile},
    {VALUE(LastUpdateTime),     Dword, Any,      User,   AsMissing,   Saved,  0,                  &CSettings::m_lastUpdateTime},
    {VALUE(InstallDir),         Text,  Any,      User,   AsMissing,   Folder, "",                 {}},
    {VALUE(FeedSerial),         Text,  Any,      User,   AsMissing,   Apart,  "",                 {}},
    {VALUE(RolloutBucket),      Dword, {0, 99},  User,   AsMissing,   Apart,  0,                  {}}, // missing: drawn
    {VALUE(RequireSignedFeed),  Dword, Any,      Policy, FailsClosed, Apart,  0,                  {}},
    {VALUE(PartialDownload),    Text,  Any,      User,   AsMissing,   Apart,  "",                 {}},
    {VALUE(PackageSigners),     List,  Any,      Policy, FailsClosed, Apart,  "",                 {}},
    {VALUE(PackageProducts),    List,  Any,      Policy, FailsClosed, Apart,  "",                 {}},
};
// clang-format on
#undef VALUE

constexpr bool RowsAreSound() {
    if (std::size(kRows) != kRegistryNames || kRegistryNames > 32) // a policy bit each
        return false;
    for (unsigned at = 0; at < kRegistryNames; ++at) {
        const RegistryRow& row = kRows[at];
        const RecordMember& member = row.member;
        const bool inRecord = row.kept == Kept::Saved || row.kept == Kept::Loaded;
        // The record holds text or a number, never a refusal nor a list.
        const bool fits = row.type == RegistryType::Text ? member.text && !member.number && !member.shared
                          : row.type == RegistryType::Dword
                              ? !member.text && (!member.number != !member.shared)
                              : false;
        if (row.id != static_cast<RegistryName>(at) || inRecord != member.Present() ||
            (inRecord && (!fits || row.wrongType != WrongType::AsMissing)))
            return false;
    }
    return true;
}
static_assert(RowsAreSound(),
              "one row a name, in the order of the names; the record's rows name their member");

RegistryData Read(HKEY root, const char* key, const RegistryRow& row) {
    RegistryData data;
    switch (row.type) {
    case RegistryType::Text:
        data.read = ReadRegistryText(root, key, row.name, data.text);
        break;
    case RegistryType::Dword:
        data.read = ReadRegistryDword(root, key, row.name, data.number);
        break;
    case RegistryType::List:
        data.read = ReadRegistryList(root, key, row.name, data.list);
        break;
    }
    return data;
}

// What the row says a missing or unusable value is.
RegistryData Settled(const RegistryRow& row, RegistryData data) {
    if ((data.read == RegistryRead::WrongType && row.wrongType == WrongType::AsMissing) ||
        (data.read == RegistryRead::Value && row.type == RegistryType::Dword && !row.InRange(data.number)))
        data.read = RegistryRead::Missing;
    if (data.read == RegistryRead::Missing) {
        data.text = row.missing.text;
        data.number = static_cast<DWORD>(row.missing.number);
        data.list.assign(row.missing.text, row.missing.text + std::strlen(row.missing.text));
    }
    return data;
}

const RegistryRow* Named(const char* name) {
    for (const RegistryRow& row : kRows)
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}
} // namespace

const RegistryRow& Row(RegistryName name) {
    return kRows[static_cast<unsigned>(name)];
}

const RegistryRow* RegistryRows::begin() const {
    return std::begin(kRows);
}

const RegistryRow* RegistryRows::end() const {
    return std::end(kRows);
}

RegistryData ReadPolicyValue(RegistryName name) {
    const RegistryRow& row = Row(name);
    return row.setBy == SetBy::Policy ? Read(HKEY_LOCAL_MACHINE, kPolicyKeyPath, row) : RegistryData();
}

bool PolicyWins(RegistryName name, const RegistryData& policy) {
    const RegistryRow& row = Row(name);
    if (row.setBy != SetBy::Policy)
        return false;
    if (policy.read == RegistryRead::WrongType)
        return row.wrongType == WrongType::FailsClosed;
    if (policy.read != RegistryRead::Value)
        return false;
    // Empty text is no server or folder, so it sets nothing, as an empty publisher policy pins nothing.
    switch (row.type) {
    case RegistryType::Text:
        return !policy.text.empty();
    case RegistryType::List:
        return !policy.list.empty();
    case RegistryType::Dword:
        // Only a value the settings dialog could hold: one it would refuse could not be shown there,
        // nor ever be confirmed by the user.
        return row.InRange(policy.number);
    }
    return false;
}

RegistryData ReadUserValue(RegistryName name) {
    const RegistryRow& row = Row(name);
    return Settled(row, Read(HKEY_CURRENT_USER, kParamsKeyPath, row));
}

RegistryData ReadValueInForce(RegistryName name) {
    RegistryData policy = ReadPolicyValue(name);
    return PolicyWins(name, policy) ? policy : ReadUserValue(name);
}

void WriteUserValue(RegistryName name, const std::string& text) {
    const char* value = Row(name).name;
    if (text.empty())
        DeleteRegistryValue(HKEY_CURRENT_USER, kParamsKeyPath, value);
    else
        WriteRegistryText(HKEY_CURRENT_USER, kParamsKeyPath, value, text);
}

void WriteUserValue(RegistryName name, DWORD number) {
    WriteRegistryDword(HKEY_CURRENT_USER, kParamsKeyPath, Row(name).name, number);
}

std::string ReadParamsText(const char* name) {
    const RegistryRow* row = Named(name);
    return row && row->type == RegistryType::Text ? ReadUserValue(row->id).text : std::string();
}

void WriteParamsText(const char* name, const std::string& text) {
    const RegistryRow* row = Named(name);
    if (row && row->type == RegistryType::Text)
        WriteUserValue(row->id, text);
}
