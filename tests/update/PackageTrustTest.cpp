// Trusted packages: real Authenticode signatures by throwaway publishers, pinned per user or by machine
// policy, checked after a real download and before anything runs.
#include "UpdaterFixture.h"
#include "update/PackageTrust.h"

using namespace pmtest;

namespace {

const char kPackage[] = "240105-update.exe";

class PackageTrustTest : public FtpUpdaterTest {
  protected:
    void SetUp() override {
        FtpUpdaterTest::SetUp();
        m_a = PublisherThumbprint("a");
        m_b = PublisherThumbprint("b");
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
        EXPECT_FALSE(updater->m_trust.Holding());
        return installed;
    }

    std::string m_a;
    std::string m_b;
};

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
        DWORD userType;
        const char* package;
        bool installs;
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearPins();
        DeleteCorvalisKeys();
        if (c.policy != none)
            SetPolicyPin(c.policy.c_str());
        if (c.user != none)
            SetUserPin(c.user.c_str(), c.userType);
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
        CPackageTrust trust;
        ASSERT_TRUE(trust.InForce());
        EXPECT_EQ(trust.Admit(path) != FALSE, c.admitted);
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
    CPackageTrust trust;
    EXPECT_FALSE(trust.Admit(path));
    EXPECT_FALSE(trust.Holding());
}

TEST_F(PackageTrustTest, WindowsResultsAcceptedAreIntactSignaturesOnly) {
    const struct {
        const char* package;
        LONG result;
        bool signer;
    } cases[] = {
        {"signed-a.exe", ERROR_SUCCESS, true},
        {"unsigned.exe", TRUST_E_NOSIGNATURE, false},
        {"tampered-a.exe", TRUST_E_BAD_DIGEST, false},
        {"expired.exe", CERT_E_EXPIRED, false},
        {"not-pe.exe", TRUST_E_SUBJECT_FORM_UNKNOWN, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package);
        std::string path = TrustPackage(c.package);
        CHandle file(
            ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        Thumbprint signer{};
        LONG result = 0;
        EXPECT_EQ(CPackageTrust::VerifiedSigner(file.Get(), path, signer, result) != FALSE, c.signer);
        EXPECT_EQ(result, c.result);
        if (c.signer) {
            EXPECT_EQ(ThumbprintHex(signer), Lower(m_a));
        }
    }
    // A publisher's own root cannot be made here (Wine trusts any issuer); Windows reports it so.
    for (LONG result : {ERROR_SUCCESS, CERT_E_UNTRUSTEDROOT})
        EXPECT_TRUE(CPackageTrust::IsIntactSignature(result)) << std::hex << result;
    for (LONG result : {TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST, CERT_E_EXPIRED, CERT_E_REVOKED,
                        TRUST_E_EXPLICIT_DISTRUST, CERT_E_CHAINING, TRUST_E_SUBJECT_NOT_TRUSTED})
        EXPECT_FALSE(CPackageTrust::IsIntactSignature(result)) << std::hex << result;
}

} // namespace
