// `tarnvkey cert` as a user runs it: the viewer's rows of PEM and DER files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "certs/CertDecode.h"
#include "CertFixtures.h"
#include "ChildProcess.h"
#include "TestRoot.h"

namespace {
const std::string kTool = ZVIT_TEST_BINARY_DIR "/bin/tarnvkey";

int runCert(const std::vector<std::string>& args, std::string* output)
{
    std::vector<std::string> all = {"--store", "/nonexistent-store"};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram(kTool, all, output);
}

std::string expectedLines(const std::string& name)
{
    std::string der = fixtureDer(name);
    return certificateRowLines(certificateRowTexts(reinterpret_cast<const unsigned char*>(der.data()), der.size()));
}
}  // namespace

TEST(CertTool, PrintsTheViewersRowsForPemAndDer)
{
    for (const char* name : {"rsa2048", "sm2", "dn-utf8", "dn-escaped", "rsa4096"}) {
        std::string expected = expectedLines(name);
        ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 8) << name;
        for (const char* ext : {".pem", ".der"}) {
            std::string output;
            EXPECT_EQ(runCert({"cert", fixturePath(std::string(name) + ext)}, &output), 0) << name << ext;
            EXPECT_EQ(output, expected) << name << ext;
        }
    }
    std::string output;
    runCert({"cert", fixturePath("dn-escaped.pem")}, &output);
    EXPECT_NE(output.find("Subject\tC=CN, O=Bank\\\\, Ltd, CN=Smith\\\\, John\n"), std::string::npos) << output;
    runCert({"cert", fixturePath("serial-00abcd.der")}, &output);
    EXPECT_NE(output.find("Version\tV3\\n\nSerial Number\tABCD\n"), std::string::npos) << output;
}

TEST(CertTool, RefusesWhatIsNotACertificate)
{
    TestRoot root;
    std::string junk = root.tempDir() + "/junk.pem";
    writeFile(junk, "-----BEGIN CERTIFICATE-----\nnot base64 at all\n-----END CERTIFICATE-----\n");
    std::string output;
    EXPECT_EQ(runCert({"cert", junk}, &output), 1);
    EXPECT_NE(output.find("not one PEM or DER certificate"), std::string::npos) << output;
    EXPECT_EQ(runCert({"cert", root.tempDir() + "/missing.der"}, &output), 1);
    EXPECT_EQ(runCert({"cert"}, &output), 2);
    EXPECT_EQ(runCert({"cert", "a", "b"}, &output), 2);

    // Well formed but of an unknown algorithm: the rows the viewer would show, and a failure.
    EXPECT_EQ(runCert({"cert", fixturePath("ed25519.der")}, &output), 1);
    EXPECT_NE(output.find("Version\tV0\\n\n"), std::string::npos) << output;
    EXPECT_NE(output.find("does not decode"), std::string::npos) << output;
}
