// Every registry value of the program, one row each: its name, type and range, whether a machine policy
// may set it, what a value of another type means, and where the program keeps it. The settings record
// loads and saves its values by these rows, every other value is read and written through them, and the
// admin templates' test reads the rows from RegistryTable.cpp, so that a new value is one row there.
#pragma once

#include "RegistryValue.h"
#include "framework/Afx.h"

#include <atomic>
#include <string>

class CSettings;

// The registry keys of the program, below the hive's root: the maker's, the program's, the per-user
// values, the record of installed package versions (one value per product), and the machine policy.
extern const char kMakerKeyPath[];
extern const char kProgramKeyPath[];
extern const char kParamsKeyPath[];
extern const char kPackagesKeyPath[];
extern const char kPolicyKeyPath[];

// The values, in the order of their rows (the settings record's first, in the order it reads them).
enum class RegistryName : unsigned {
    Server,
    User,
    Pass,
    PassiveFTP,
    PathToFile,
    UpdateChoice,
    UpdateInterval,
    EnableAutoUpdate,
    AskForConfirmation,
    PollTimer,
    LastDownloadFile,
    LastUpdateTime,
    InstallDir,
    FeedSerial,
    RolloutBucket,
    RequireSignedFeed,
    PartialDownload,
    PackageSigners,
    PackageProducts,
};
constexpr unsigned kRegistryNames =
    static_cast<unsigned>(RegistryName::PackageProducts) + 1; // the last above

// The bit of a value in a set of them (the settings the policy sets).
constexpr unsigned PolicyBit(RegistryName name) {
    return 1u << static_cast<unsigned>(name);
}

// REG_SZ; REG_DWORD of four bytes; a list: REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ, whose strings are
// joined by ";", read as UTF-16.
enum class RegistryType { Text, Dword, List };
// Whether a machine policy may set the value over the user's own.
enum class SetBy { User, Policy };
// A value of another type: read as missing (a convenience value: its default, or under a policy the
// user's own), or failing closed (a security value: a policy of another type still wins, and its reader
// takes the strictest meaning, so that a damaged value never weakens a check).
enum class WrongType { AsMissing, FailsClosed };
// Who reads and writes it.
enum class Kept {
    Saved,  // a member of the settings record: loaded, and written back by every save
    Loaded, // a member of the settings record, loaded with it; only its own operation writes it
    Folder, // written by every save of the record (the program's own folder), never read
    Apart,  // read and written where it is used
};

// The member of the settings record that holds a value.
struct RecordMember {
    constexpr RecordMember() = default;
    constexpr RecordMember(CString CSettings::*member) : text(member) {}
    constexpr RecordMember(int CSettings::*member) : number(member) {}
    constexpr RecordMember(std::atomic<int> CSettings::*member) : shared(member) {}
    constexpr bool Present() const { return text || number || shared; }

    CString CSettings::*text = nullptr;
    int CSettings::*number = nullptr;
    std::atomic<int> CSettings::*shared = nullptr; // read by another thread
};

// What a missing value reads as.
struct MissingValue {
    constexpr MissingValue(const char* missingText) : text(missingText) {}
    constexpr MissingValue(int missingNumber) : number(missingNumber) {}

    const char* text = "";
    int number = 0;
};

struct RegistryRow {
    RegistryName id;
    const char* name;
    RegistryType type;
    // A number outside reads as missing, and a policy's never wins (the settings dialog's range, where
    // it shows the value); only the settings record loads the user's own numbers unchanged.
    struct Range {
        int low, high;
    } range;
    SetBy setBy;
    WrongType wrongType;
    Kept kept;
    MissingValue missing;
    RecordMember member;

    constexpr bool InRange(DWORD number) const {
        return static_cast<int>(number) >= range.low && static_cast<int>(number) <= range.high;
    }
};

const RegistryRow& Row(RegistryName name);
// The rows in their order, for a loop.
struct RegistryRows {
    const RegistryRow* begin() const;
    const RegistryRow* end() const;
};

// One value as read.
struct RegistryData {
    RegistryRead read = RegistryRead::Missing;
    std::string text;    // Text
    DWORD number = 0;    // Dword
    std::u16string list; // List
};

// The machine policy's value as stored; Missing for a value no policy sets.
RegistryData ReadPolicyValue(RegistryName name);
// Whether the policy's value is one that wins over the user's: of its type, not empty and within the
// range; or of another type, where that fails closed.
bool PolicyWins(RegistryName name, const RegistryData& policy);
// The user's own value under Params, by the rules of its row: a missing one holds the row's missing
// value, and one of another type is missing unless that fails closed.
RegistryData ReadUserValue(RegistryName name);
// The policy's value where it wins, else the user's.
RegistryData ReadValueInForce(RegistryName name);
// Under Params; empty text deletes the value.
void WriteUserValue(RegistryName name, const std::string& text);
void WriteUserValue(RegistryName name, DWORD number);

// A text value under Params by its name; a name without a row of text is neither read nor written.
std::string ReadParamsText(const char* name);
void WriteParamsText(const char* name, const std::string& text);
