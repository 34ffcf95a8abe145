// Trusted packages: real Authenticode signatures by throwaway publishers, pinned per user or by machine
// policy, checked after a real download and before anything runs.
#include "UpdaterFixture.h"
#include "update/PackageTrust.h"
#include "update/UpdatePipeline.h"
#include "update/UpdateTexts.h"

#include <atomic>
#include <optional>
#include <thread>

using namespace pmtest;

namespace {

const char kPackage[] = "240105-update.exe";

class PackageTrustTest : public FtpUpdaterTest {
  protected:
    void SetUp() override {
        FtpUpdaterTest::SetUp();
        m_a = PublisherThumbprint("a");
        m_b = PublisherThumbprint("b");
        m_expired = PublisherThumbprint("expired");
        ASSERT_EQ(m_a.size(), 64u);
        ASSERT_EQ(m_b.size(), 64u);
    }
    // Serves one of the build's trust packages under the package name, and runs an update.
    BOOL Update(const char* package, std::string& error) {
        MainServer().Clear();
        if (!MainServer().ServeCopy(kPackage, TrustPackage(package)))
            return FALSE;
        m_app->m_lastDownloadFile.clear();
        auto updater = Updater();
        BOOL installed = Install(*updater);
        error = updater->m_errorText;
        EXPECT_FALSE(updater.Run().m_trust.Holding());
        return installed;
    }

    void TearDown() override {
        ::SetEnvironmentVariableA("PM_PACKAGE_EXIT", nullptr);
        FtpUpdaterTest::TearDown();
    }

    std::string m_a;
    std::string m_b;
    std::string m_expired;
};

const char kPackagesKey[] = "Software\\Corvalis\\Pendlemark\\Params\\Packages";

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string ColonPairs(const std::string& digits) {
    std::string text;
    for (size_t i = 0; i < digits.size(); i += 2)
        text += (i ? ":" : "") + digits.substr(i, 2);
    return text;
}

TEST_F(PackageTrustTest, OnlyAnIntactSignatureByAPinnedPublisherRuns) {
    const std::string none = "<none>";
    const struct {
        const char* what;
        std::string policy; // none: no value
        std::string user;
        DWORD type; // of both values
        const char* package;
        bool installs;
        DWORD policyType = 0; // 0: the type of both
    } cases[] = {
        {"pinned signer", none, m_a, REG_SZ, "signed-a.exe", true},
        {"another signer", none, m_a, REG_SZ, "signed-b.exe", false},
        {"unsigned", none, m_a, REG_SZ, "unsigned.exe", false},
        {"one byte changed after signing", none, m_a, REG_SZ, "tampered-a.exe", false},
        {"not a program", none, m_a, REG_SZ, "not-pe.exe", false},
        {"expired certificate", none, PublisherThumbprint("expired"), REG_SZ, "expired.exe", false},
        {"no pin anywhere", none, none, REG_SZ, "unsigned.exe", true},
        {"both pins empty", "", "", REG_SZ, "unsigned.exe", true},
        {"policy wins over the user", m_a, m_b, REG_SZ, "signed-b.exe", false},
        {"policy alone decides", m_a, m_b, REG_SZ, "signed-a.exe", true},
        {"empty policy leaves the user's pin", "", m_b, REG_SZ, "signed-b.exe", true},
        {"the user's pin still refuses others", "", m_b, REG_SZ, "signed-a.exe", false},
        {"several spellings in one value", none, ColonPairs(m_b) + " ; " + Lower(m_a), REG_SZ, "signed-a.exe",
         true},
        {"a list of strings", none, m_b + ";" + m_a, REG_MULTI_SZ, "signed-a.exe", true},
        {"malformed pin refuses its own signer", none, m_a.substr(1), REG_SZ, "signed-a.exe", false},
        {"malformed pin refuses the unsigned", none, m_a + "X", REG_SZ, "unsigned.exe", false},
        {"malformed policy never falls back", "0", m_a, REG_SZ, "signed-a.exe", false},
        {"a pin of another type refuses", none, m_a, REG_BINARY, "signed-a.exe", false},
        {"empty strings in a list of strings", none, ";" + m_b + ";;" + m_a, REG_MULTI_SZ, "signed-a.exe",
         true},
        {"a policy list beginning with an empty string", ";" + m_a, m_b, REG_MULTI_SZ, "signed-b.exe", false},
        {"a policy list of empty strings leaves the user's pin", ";;", m_b, REG_MULTI_SZ, "signed-b.exe",
         true},
        {"a policy of bytes never hands over to the user", m_a, m_a, REG_SZ, "signed-a.exe", false,
         REG_BINARY},
        {"a policy number never hands over to the user", "1", m_a, REG_SZ, "signed-a.exe", false, REG_DWORD},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearPins();
        DeleteCorvalisKeys();
        if (c.policy != none)
            SetPolicyPin(c.policy.c_str(), c.policyType ? c.policyType : c.type);
        if (c.user != none)
            SetUserPin(c.user.c_str(), c.type);
        std::string error;
        EXPECT_EQ(Update(c.package, error), c.installs) << error;
        EXPECT_EQ(RunRecord(kPackage) != "", c.installs);
        EXPECT_FALSE(FileExists(Downloaded(kPackage)));
        if (c.installs) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), Downloaded(kPackage));
        } else {
            EXPECT_EQ(error, kUntrusted);
            EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));
            EXPECT_FALSE(RegValueExists(kParamsKey, "LastUpdateTime"));
        }
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
}

TEST_F(PackageTrustTest, TheCheckedFileCannotBeChangedUntilItIsStarted) {
    enum { Read = 1, Write = 2, Rename = 4, Delete = 8 };
    auto otherProcessManages = [](const std::string& path) {
        Process tool = Process::Start("\"" + BuiltProgram("pm_file_tool.exe") + "\" \"" + path + "\"");
        return tool.Wait(20000);
    };
    SetUserPin(m_a.c_str());
    TempDir dir("trust-hold");
    const std::string path = dir.File(kPackage);
    const struct {
        const char* package;
        bool admitted;
    } cases[] = {{"signed-a.exe", true}, {"signed-b.exe", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package);
        ASSERT_TRUE(::CopyFileA(TrustPackage(c.package).c_str(), path.c_str(), FALSE));
        CUpdateRun run(*m_app, *m_app);
        CPackageTrust& trust = run.m_trust;
        ASSERT_TRUE(trust.InForce());
        EXPECT_EQ(trust.Admit(path) == Admission::Admitted, c.admitted);
        // Checked or refused, the file stays exactly as it was checked while held: readable, nothing more.
        EXPECT_TRUE(trust.Holding());
        EXPECT_EQ(otherProcessManages(path), Read);
        if (c.admitted) {
            // The hold does not keep the system from starting it.
            Process package = Process::Start("\"" + path + "\"");
            EXPECT_EQ(package.Wait(20000), 7);
        }
        trust.Release();
        EXPECT_EQ(otherProcessManages(path), Read | Write | Rename | Delete);
    }
    // A file another process holds open for writing cannot be held, so it is refused.
    ASSERT_TRUE(::CopyFileA(TrustPackage("signed-a.exe").c_str(), path.c_str(), FALSE));
    CHandle writer(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    CUpdateRun run(*m_app, *m_app);
    CPackageTrust& trust = run.m_trust;
    EXPECT_EQ(trust.Admit(path), Admission::Untrusted);
    EXPECT_FALSE(trust.Holding());
}

// A download handed over by the handle that wrote it: only that very file is held, and the digest taken
// as it was written stands only for bytes nobody could have written since (a program image, whose section
// keeps writers off while the writer gives way to the hold); other files are hashed again. Admitted again
// and again, the file held is never free for a writer in between.
TEST_F(PackageTrustTest, TheHoldTakesOnlyTheWrittenFileAndKeepsItThroughTheAdmission) {
    SetUserPin(m_a.c_str());
    TempDir dir("trust-handover");
    const std::string path = dir.File(kPackage);
    const std::string other = dir.File("other.exe");
    const struct {
        const char* package;
        bool changed;      // after the writer had closed: the digest written is of other bytes
        bool anotherFile;  // the handle handed over is of another file
        const char* error; // null: held and checked
    } cases[] = {
        {"signed-a.exe", false, false, nullptr},
        {"not-pe.exe", false, false, nullptr},
        {"not-pe.exe", true, false, UpdateText::kListMismatch},
        {"signed-a.exe", false, true, UpdateText::kRetrieveFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        std::string bytes = ReadFileText(TrustPackage(c.package));
        CSha256 hash;
        ASSERT_TRUE(hash.Add(bytes.data(), bytes.size()));
        PackageCandidate package{kPackage, bytes.size(), hash.Finish()};
        bytes[bytes.size() / 2] ^= c.changed ? 1 : 0;
        ASSERT_TRUE(WriteFileText(path, bytes) && WriteFileText(other, bytes));
        FetchedPackage fetched{CHandle(::CreateFileA((c.anotherFile ? other : path).c_str(),
                                                     GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, 0, nullptr)),
                               package.sha256};
        ASSERT_TRUE(fetched.writer);
        CUpdateRun run(*m_app, *m_app);
        CPackageTrust& trust = run.m_trust;
        EXPECT_EQ(CheckFetched(package, path, fetched, run), c.error == nullptr);
        EXPECT_EQ(run.m_errorText, c.error ? c.error : "");
        EXPECT_EQ(trust.Holding() && FileExists(path), c.error == nullptr);
    }
    ASSERT_TRUE(::CopyFileA(TrustPackage("signed-a.exe").c_str(), path.c_str(), FALSE));
    CUpdateRun run(*m_app, *m_app);
    CPackageTrust& trust = run.m_trust;
    ASSERT_TRUE(trust.Hold(path));
    std::atomic<bool> admitting{true};
    std::atomic<int> opened{0};
    std::thread writer([&] {
        while (admitting)
            opened += CHandle(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr))
                          ? 1
                          : 0;
    });
    for (int run = 0; run < 20; ++run)
        EXPECT_EQ(trust.Admit(path), Admission::Admitted);
    admitting = false;
    writer.join();
    EXPECT_EQ(opened, 0);
}

TEST_F(PackageTrustTest, WindowsResultsAcceptedAreIntactSignaturesOnly) {
    const struct {
        const char* package;
        LONG result;
        const std::string* signer; // null: none found
    } cases[] = {
        {"signed-a.exe", ERROR_SUCCESS, &m_a},
        {"unsigned.exe", TRUST_E_NOSIGNATURE, nullptr},
        // Wine keeps no signer after a bad digest (Windows does): the result alone must refuse it.
        {"tampered-a.exe", TRUST_E_BAD_DIGEST, nullptr},
        {"expired.exe", CERT_E_EXPIRED, &m_expired},
        {"not-pe.exe", TRUST_E_SUBJECT_FORM_UNKNOWN, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package);
        std::string path = TrustPackage(c.package);
        CHandle file(
            ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        std::optional<Thumbprint> signer;
        EXPECT_EQ(CPackageTrust::CheckSignature(file.Get(), path, signer), c.result);
        EXPECT_EQ(IsIntactSignature(c.result), c.result == ERROR_SUCCESS);
        ASSERT_EQ(signer.has_value(), c.signer != nullptr);
        if (c.signer) {
            EXPECT_EQ(ThumbprintHex(*signer), Lower(*c.signer));
        }
    }
    // A publisher's own root cannot be made here (Wine trusts any issuer); Windows reports it so.
    for (LONG result : {ERROR_SUCCESS, CERT_E_UNTRUSTEDROOT})
        EXPECT_TRUE(IsIntactSignature(result)) << std::hex << result;
    for (LONG result : {TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST, CERT_E_EXPIRED, CERT_E_REVOKED,
                        TRUST_E_EXPLICIT_DISTRUST, CERT_E_CHAINING, TRUST_E_SUBJECT_NOT_TRUSTED})
        EXPECT_FALSE(IsIntactSignature(result)) << std::hex << result;
}

TEST_F(PackageTrustTest, APinnedClientNeverGoesBackNorTakesAnotherProduct) {
    // The packages say they succeeded: only then is their version recorded.
    ::SetEnvironmentVariableA("PM_PACKAGE_EXIT", "0");
    const char kMenus[] = "Corvalis Menus";
    const std::string none = "<none>";
    const struct {
        const char* what;
        bool pinned;
        std::string policyProducts; // none: no value
        std::string userProducts;
        DWORD type;           // of both lists
        const char* recorded; // "Corvalis Menus" installed before; null: nothing recorded
        const char* package;
        const char* refusal;               // null: installs
        const char* product;               // its record afterwards
        const char* after;                 // null: none
        const char* recordedFor = nullptr; // the product of `recorded`; null: Corvalis Menus
    } cases[] = {
        {"the first of its product", true, none, none, REG_SZ, nullptr, "signed-a.exe", nullptr, kMenus,
         "1.0.0.0"},
        {"the same version again", true, none, none, REG_SZ, "1.0.0.0", "signed-a.exe", kNotNewer, kMenus,
         "1.0.0.0"},
        {"an older version", true, none, none, REG_SZ, "2.0.0.0", "signed-a.exe", kNotNewer, kMenus,
         "2.0.0.0"},
        {"a newer version", true, none, none, REG_SZ, "1.0.0.0", "signed-a-menus-2.exe", nullptr, kMenus,
         "2.0.0.0"},
        {"a damaged record counts as none", true, none, none, REG_SZ, "2.0", "signed-a.exe", nullptr, kMenus,
         "1.0.0.0"},
        {"this program never goes below the version running", true, none, none, REG_SZ, nullptr,
         "signed-a-pendlemark.exe", kNotNewer, "Pendlemark", nullptr},
        {"nor below it when a lower version is recorded", true, none, none, REG_SZ, "0.1.0.0",
         "signed-a-pendlemark.exe", kNotNewer, "Pendlemark", "0.1.0.0", "Pendlemark"},
        {"nor stays at it, and goes above it", true, none, none, REG_SZ, nullptr, "signed-a-pendlemark-9.exe",
         nullptr, "Pendlemark", "9.0.0.0"},
        {"each product has its own record", true, none, none, REG_SZ, "9.0.0.0", "signed-a-toolbox.exe",
         nullptr, "Corvalis Toolbox", "3.0.0.0"},
        {"no version resource", true, none, none, REG_SZ, nullptr, "signed-a-bare.exe", kNotNewer, kMenus,
         nullptr},
        {"no product name: the default value", true, none, none, REG_SZ, nullptr, "signed-a-nameless.exe",
         nullptr, "", "1.5.0.0"},
        {"a listed product, in any case", true, none, "corvalis MENUS; Pendlemark", REG_SZ, nullptr,
         "signed-a.exe", nullptr, kMenus, "1.0.0.0"},
        {"a product not listed", true, none, kMenus, REG_SZ, nullptr, "signed-a-toolbox.exe", kForeignProduct,
         "Corvalis Toolbox", nullptr},
        {"no version resource, so no product", true, none, kMenus, REG_SZ, nullptr, "signed-a-bare.exe",
         kForeignProduct, kMenus, nullptr},
        {"the policy's list wins", true, "Corvalis Toolbox", kMenus, REG_SZ, nullptr, "signed-a.exe",
         kForeignProduct, kMenus, nullptr},
        {"empty strings in a list of strings", true, none, ";Corvalis Toolbox;;Corvalis Menus", REG_MULTI_SZ,
         nullptr, "signed-a.exe", nullptr, kMenus, "1.0.0.0"},
        {"a policy list beginning with an empty string", true, ";Corvalis Toolbox", kMenus, REG_MULTI_SZ,
         nullptr, "signed-a.exe", kForeignProduct, kMenus, nullptr},
        {"a list of another type takes nothing", true, none, kMenus, REG_BINARY, nullptr, "signed-a.exe",
         kForeignProduct, kMenus, nullptr},
        {"the signature is checked first", true, none, "Corvalis Toolbox", REG_SZ, "9.0.0.0", "signed-b.exe",
         kUntrusted, kMenus, "9.0.0.0"},
        {"unpinned: no list and no record count", false, none, "Corvalis Toolbox", REG_SZ, "9.0.0.0",
         "unsigned.exe", nullptr, kMenus, "9.0.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearPins();
        DeleteCorvalisKeys();
        SetUserPin(c.pinned ? m_a.c_str() : nullptr);
        if (c.policyProducts != none)
            SetPolicyPin(c.policyProducts.c_str(), c.type, "PackageProducts");
        if (c.userProducts != none)
            SetUserPin(c.userProducts.c_str(), c.type, "PackageProducts");
        if (c.recorded)
            SetRegString(kPackagesKey, c.recordedFor ? c.recordedFor : kMenus, c.recorded);
        std::string error;
        EXPECT_EQ(Update(c.package, error), c.refusal == nullptr) << error;
        EXPECT_EQ(error, c.refusal ? c.refusal : "");
        EXPECT_EQ(RunRecord(kPackage) != "", c.refusal == nullptr);
        EXPECT_FALSE(FileExists(Downloaded(kPackage)));
        EXPECT_EQ(RegValueExists(kParamsKey, "LastDownloadFile"), c.refusal == nullptr);
        EXPECT_EQ(RegValueExists(kParamsKey, "LastUpdateTime"), c.refusal == nullptr);
        EXPECT_EQ(RegValueExists(kPackagesKey, c.product), c.after != nullptr);
        if (c.after) {
            EXPECT_EQ(RegString(kPackagesKey, c.product), c.after);
        }
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
}

TEST_F(PackageTrustTest, OnlyAPackageThatSucceededIsRecordedInItsVersion) {
    // Success, and success with a restart needed or begun; any other code is a failure delivered again.
    const struct {
        const char* exitCode;
        bool recorded;
    } cases[] = {{"0", true}, {"3010", true}, {"1641", true}, {"7", false}, {"1603", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode);
        DeleteCorvalisKeys();
        SetUserPin(m_a.c_str());
        ::SetEnvironmentVariableA("PM_PACKAGE_EXIT", c.exitCode);
        std::string error;
        EXPECT_TRUE(Update("signed-a.exe", error)) << error;
        EXPECT_NE(RegString(kParamsKey, "LastDownloadFile"), "<missing>"); // run, whatever it returned
        EXPECT_EQ(RegValueExists(kPackagesKey, "Corvalis Menus"), c.recorded);
        ::DeleteFileA((Downloaded(kPackage) + ".cmdline").c_str());
    }
}

} // namespace
