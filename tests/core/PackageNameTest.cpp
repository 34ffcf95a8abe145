// Package names: the date they start with, the names that are never used, and which listed package wins.
#include "core/PackageChoice.h"
#include "core/PackageName.h"

#include <gtest/gtest.h>

TEST(PackageName, DateIsReadAsTwoDigitYearMonthDay) {
    const struct {
        const char* name;
        bool dated;
        int year, month, day;
    } cases[] = {
        {"050315-update.exe", true, 2005, 3, 15},
        {"991231-update.exe", true, 2099, 12, 31}, // no century window: 99 is 2099
        {"000101-update.exe", true, 2000, 1, 1},
        {"000229-update.exe", true, 2000, 2, 29}, // 2000 was a leap year
        {"040229", true, 2004, 2, 29},
        {" 5 3 1-update.exe", false, 0, 0, 0}, // six ASCII digits, no blank
        {"-1 1 1-update.exe", false, 0, 0, 0}, // and no sign
        {"+1+1+1-update.exe", false, 0, 0, 0},
        {"\xd9\xa0\xd9\xa1\xd9\xa2-update.exe", false, 0, 0, 0}, // digits of another script
        {"050229-update.exe", false, 0, 0, 0},                   // no 29 February in 2005
        {"051301-update.exe", false, 0, 0, 0},
        {"050132-update.exe", false, 0, 0, 0},
        {"050431-update.exe", false, 0, 0, 0},
        {"050000-update.exe", false, 0, 0, 0},
        {"0506-update.exe", false, 0, 0, 0},
        {"update-update.exe", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<PackageDate> date = PackageDateOf(c.name);
        ASSERT_EQ(date.has_value(), c.dated);
        if (date) {
            EXPECT_EQ(date->year, c.year);
            EXPECT_EQ(date->month, c.month);
            EXPECT_EQ(date->day, c.day);
        }
    }
}

TEST(PackageName, OnlyPlainFileNamesAreSafeAndPackagesAlsoDatedWithTheSuffix) {
    const struct {
        std::string name;
        bool safe;
        bool package;
    } cases[] = {
        {"050601-update.exe", true, true},
        {"050601 ..-update.exe", true, true},
        {"050601\\..\\x-update.exe", false, false},
        {"050601/x-update.exe", false, false},
        {"C:050601-update.exe", false, false},
        {"050601<x>-update.exe", false, false},
        {"050601\"-update.exe", false, false},
        {"050601|-update.exe", false, false},
        {"050601?-update.exe", false, false},
        {"050601*-update.exe", false, false},
        {"..", false, false},
        {"...", false, false},
        {"", false, false},
        {"0506\t01-update.exe", false, false},
        {std::string("0506\0-update.exe", 15), false, false},
        {"050601-UPDATE.Exe", true, true},
        {"050601-update.cmd", true, false},
        {"050601-update.exe.txt", true, false},
        {"050601-update.exe ", true, false},
        {"050601update.exe", true, false},
        {"050631-update.exe", true, false},
        {"-update.exe", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsSafePackageName(c.name), c.safe);
        EXPECT_EQ(IsPackageFileName(c.name), c.package);
    }
}

TEST(PackageChoice, LatestDateWinsFirstListedAmongEquals) {
    const struct {
        const char* what;
        std::vector<ListedFile> listing;
        const char* chosen; // nullptr: none
        std::uint64_t size;
    } cases[] = {
        {"any order",
         {{"050601-update.exe", 1}, {"050301-update.exe", 2}, {"050901-update.exe", 3}},
         "050901-update.exe",
         3},
        {"equal dates",
         {{"060601-b-update.exe", 1}, {"060601-a-update.exe", 2}, {"060301-update.exe", 3}},
         "060601-b-update.exe",
         1},
        {"2099 after 2000", {{"000101-update.exe", 1}, {"991231-update.exe", 2}}, "991231-update.exe", 2},
        {"directories skipped",
         {{"070101-update.exe", 1}, {"080101-update.exe", 2, true}},
         "070101-update.exe",
         1},
        {"unsafe and undated skipped",
         {{"081201\\..\\x-update.exe", 1},
          {"080230-update.exe", 2},
          {"x-update.exe", 3},
          {"080101-update.exe", 4}},
         "080101-update.exe",
         4},
        {"size beyond 32 bits", {{"090101-update.exe", 0x123456789ULL}}, "090101-update.exe", 0x123456789ULL},
        {"the suffix in any case, and nothing after it",
         {{"991231-update.cmd", 1},
          {"050101-UPDATE.EXE", 2},
          {"980101-update.exe.txt", 3},
          {"970101-update", 4}},
         "050101-UPDATE.EXE",
         2},
        {"nothing usable", {{"100101-update.exe", 1, true}, {"update.exe", 2}}, nullptr, 0},
        {"empty listing", {}, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<ListedFile> chosen = ChooseNewestPackage(c.listing);
        ASSERT_EQ(chosen.has_value(), c.chosen != nullptr);
        if (chosen) {
            EXPECT_EQ(chosen->name, c.chosen);
            EXPECT_EQ(chosen->size, c.size);
        }
    }
    // A caller's own date reader does not widen the choice.
    const auto anyName = [](const std::string&) {
        return std::optional<PackageDate>(PackageDate{2005, 1, 1});
    };
    EXPECT_FALSE(ChooseNewestPackage({{"991231-update.cmd", 1}, {"050101-update.exe.txt", 2}}, anyName));
}
