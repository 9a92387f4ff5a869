// The store under power cuts and full disks: an update killed at any moment,
// and writes the file system refuses. Every record must still read, no PIN
// attempt may be handed back without the right PIN, and a refused write must
// say why and leave the previous record as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "standins/vtoken/Pin.h"
#include "standins/vtoken/Store.h"
#include "TokenTestSupport.h"

using namespace vtoken;

namespace {

const char kSerial[] = "KILL01";
const char kPinA[] = "12345678";
const char kPinB[] = "87654321";
const char kWrongPin[] = "11112222";

enum class Op { VerifyWrong, VerifyRight, Change, Import };

const char* opName(Op op)
{
    switch (op) {
    case Op::VerifyWrong: return "verify with a wrong PIN";
    case Op::VerifyRight: return "verify with the right PIN";
    case Op::Change: return "PIN change";
    case Op::Import: return "certificate import";
    }
    return "?";
}

// What the tool's import does: one signature certificate into container c1.
Status importCertificate(const Store& store, const std::vector<uint8_t>& der)
{
    return store.update(kSerial, [&](KeyRecord& record) {
        if (record.containers.empty()) {
            Container c;
            c.name = "c1";
            record.containers.push_back(c);
        }
        record.containers[0].signatureCert = der;
        return Status::Ok;
    });
}

std::vector<std::string> temporaryFiles(const std::string& folder)
{
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp") != std::string::npos)
            out.push_back(name);
    }
    return out;
}

class StoreFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = root.tempDir() + "/store";
        certA = fileBytes(fixture("rsa2048.der"));
        certB = fileBytes(fixture("rsa1024.der"));
        ASSERT_FALSE(certA.empty());
        ASSERT_FALSE(certB.empty());
    }

    void createKey()
    {
        KeyRecord record;
        ASSERT_EQ(Status::Ok, newKeyRecord(kSerial, "fault key", kPinA, true, &record));
        // A cheap hash keeps a thousand runs short; the PIN change writes the
        // full-cost hash, which is covered as well.
        ASSERT_EQ(Status::Ok, setPinSecret(&record.userPin, kPinA, 200));
        ASSERT_EQ(Status::Ok, Store(folder).create(record));
    }

    TestRoot root;
    std::string folder;
    std::vector<uint8_t> certA, certB;
};

}  // namespace

TEST_F(StoreFaults, AThousandKillsMidUpdateLeaveNoDamagedRecordAndNoFreeAttempt)
{
    createKey();
    const Store store(folder);
    std::mt19937 random(20240518u);
    printf("store kills: seed 20240518\n");
    std::string pin = kPinA;
    int attempts = kDefaultAttempts;
    std::vector<uint8_t> cert;  // none imported yet
    // Kill moments spread over an operation's whole length, which a first
    // run without a kill measures.
    long windowUs = 20000;
    int landed = 0, damaged = 0, freeAttempts = 0, wrongContent = 0;
    const int kKills = 1000;
    for (int i = 0; i < kKills; ++i) {
        const Op op = static_cast<Op>(i % 4);
        const std::string newPin = pin == kPinA ? kPinB : kPinA;
        const std::vector<uint8_t>& newCert = cert == certA ? certB : certA;
        const auto started = std::chrono::steady_clock::now();
        pid_t child = forkChild([&] {
            Store own(folder);
            switch (op) {
            case Op::VerifyWrong: own.verifyPin(kSerial, PinKind::User, kWrongPin); break;
            case Op::VerifyRight: own.verifyPin(kSerial, PinKind::User, pin); break;
            case Op::Change: own.changePin(kSerial, PinKind::User, pin, newPin); break;
            case Op::Import: importCertificate(own, newCert); break;
            }
            return 0;
        });
        ASSERT_GT(child, 0);
        const bool measure = i < 8;
        if (!measure)
            usleep(static_cast<useconds_t>(std::uniform_int_distribution<long>(0, windowUs)(random)));
        if (!measure)
            kill(child, SIGKILL);
        const int status = waitChild(child);
        if (measure) {
            const long tookUs = static_cast<long>(
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started)
                    .count());
            windowUs = i == 0 ? tookUs : std::max(windowUs, tookUs);
        }
        if (status == 128 + SIGKILL)
            ++landed;

        KeyRecord record;
        const Status loaded = store.load(kSerial, &record);
        if (loaded != Status::Ok) {
            ++damaged;
            ADD_FAILURE() << "kill " << i << " during " << opName(op) << ": " << statusText(loaded);
            break;
        }
        const int now = record.userPin.attemptsLeft;
        const bool rightPinGiven = op == Op::VerifyRight || op == Op::Change;
        // Without the right PIN the count only ever goes down, by one at most.
        const bool countOk = rightPinGiven ? (now == attempts || now == attempts - 1 || now == kDefaultAttempts)
                                           : (now == attempts || (op == Op::VerifyWrong && now == attempts - 1));
        if (!countOk) {
            ++freeAttempts;
            ADD_FAILURE() << "kill " << i << " during " << opName(op) << ": attempts " << attempts << " -> " << now;
        }
        if (op == Op::Change && pinMatches(record.userPin, newPin)) {
            if (now != kDefaultAttempts)
                ADD_FAILURE() << "a changed PIN starts with every attempt";
            pin = newPin;
        }
        if (!pinMatches(record.userPin, pin)) {
            ++wrongContent;
            ADD_FAILURE() << "kill " << i << " during " << opName(op) << ": the PIN is neither the old nor the new";
        }
        if (op == Op::Import && !record.containers.empty() && record.containers[0].signatureCert == newCert)
            cert = newCert;
        const std::vector<uint8_t> stored = record.containers.empty() ? std::vector<uint8_t>()
                                                                      : record.containers[0].signatureCert;
        if (stored != cert) {
            ++wrongContent;
            ADD_FAILURE() << "kill " << i << " during " << opName(op) << ": the certificate is neither old nor new";
        }
        attempts = now;
        if (attempts <= 2) {
            ASSERT_EQ(Status::Ok, store.setRetries(kSerial, kDefaultAttempts));
            attempts = kDefaultAttempts;
        }
    }
    printf("store kills: %d kills (%d inside an operation, window %ld us), %d damaged records, "
           "%d free attempts, %d mixed records\n",
           kKills, landed, windowUs, damaged, freeAttempts, wrongContent);
    EXPECT_EQ(0, damaged);
    EXPECT_EQ(0, freeAttempts);
    EXPECT_EQ(0, wrongContent);
    // Many kills must hit a running operation, or the figure says little. A
    // busy machine stretches the fork before an operation starts, so a part
    // of them lands before it: a quarter is the floor that still proves it.
    EXPECT_GT(landed, kKills / 4);
    // The next write sweeps what the killed writers left behind.
    ASSERT_EQ(Status::Ok, store.setRetries(kSerial, kDefaultAttempts));
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

TEST_F(StoreFaults, AFileSizeLimitFailsTheToolWithItsReasonAndKeepsTheRecord)
{
    createKey();
    const std::string record = Store(folder).recordPath(kSerial);
    const std::string before = readFile(record);
    ASSERT_FALSE(before.empty());
    // The import makes the record a few kilobytes longer than the limit allows.
    std::string output;
    const int rc = runProgram("prlimit",
                              {"--fsize=" + std::to_string(before.size() + 512), ZVIT_TEST_BINARY_DIR "/bin/tarnvkey",
                               "--store", folder, "import", kSerial, fixture("rsa2048.der"), "--container", "c1",
                               "--type", "rsa", "--usage", "sign"},
                              &output);
    printf("disk full (file size limit): tool exit %d: %s", rc, output.c_str());
    EXPECT_EQ(1, rc) << "a failed write is an error of the tool, not its death by signal";
    EXPECT_NE(std::string::npos, output.find("File too large")) << output;
    EXPECT_NE(std::string::npos, output.find(kSerial)) << output;
    EXPECT_EQ(before, readFile(record));
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

TEST_F(StoreFaults, APinAttemptThatCannotBeWrittenIsRefusedAndCostsNothing)
{
    createKey();
    const std::string record = Store(folder).recordPath(kSerial);
    const std::string before = readFile(record);
    // A process that keeps running when a write is refused (as the manager,
    // which ignores the signal) must not compare a PIN it could not count.
    pid_t child = forkChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {before.size() / 2, before.size() / 2};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        const Store own(folder);
        if (own.verifyPin(kSerial, PinKind::User, kPinA).status != Status::IoError)
            return 11;
        if (own.changePin(kSerial, PinKind::User, kPinA, kPinB).status != Status::IoError)
            return 12;
        if (lastStoreError().find("File too large") == std::string::npos)
            return 13;
        return 0;
    });
    EXPECT_EQ(0, waitChild(child));
    EXPECT_EQ(before, readFile(record));
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

TEST_F(StoreFaults, AFullFileSystemFailsTheToolWithItsReasonAndKeepsTheRecord)
{
    // A small tmpfs of its own, in a mount namespace of its own so nothing
    // stays mounted whatever happens; machines that refuse it skip this.
    const std::string mountPoint = root.tempDir() + "/small";
    const std::string copy = root.tempDir() + "/copy";
    std::filesystem::create_directories(mountPoint);
    std::filesystem::create_directories(copy);
    const std::string tool = ZVIT_TEST_BINARY_DIR "/bin/tarnvkey";
    const std::string script =
        "mount -t tmpfs -o size=128k tmpfs '" + mountPoint + "' || exit 77\n"
        "s='" + mountPoint + "/store'\n"
        "'" + tool + "' --store \"$s\" create " + kSerial + " --label full --pin " + kPinA + " >/dev/null || exit 78\n"
        "cp \"$s/" + kSerial + ".vkey\" '" + copy + "/before'\n"
        "dd if=/dev/zero of='" + mountPoint + "/filler' bs=4k 2>/dev/null\n"
        "'" + tool + "' --store \"$s\" import " + kSerial + " '" + fixture("rsa2048.der") +
        "' --container c1 --type rsa --usage sign\n"
        "echo \"exit $?\"\n"
        "cp \"$s/" + kSerial + ".vkey\" '" + copy + "/after'\n"
        "ls -a \"$s\"\n";
    std::string output;
    const int rc = runProgram("unshare", {"--mount", "--propagation", "private", "sh", "-c", script}, &output);
    if (rc == 77 || rc == 127 || output.find("unshare:") != std::string::npos)
        GTEST_SKIP() << "no private tmpfs on this machine: " << output;
    ASSERT_EQ(0, rc) << output;
    printf("disk full (small tmpfs): %s", output.c_str());
    EXPECT_NE(std::string::npos, output.find("No space left on device")) << output;
    EXPECT_NE(std::string::npos, output.find("exit 1")) << output;
    const std::string listing = output.substr(std::min(output.size(), output.find("exit ")));
    EXPECT_EQ(std::string::npos, listing.find(".tmp")) << "no temporary file left: " << listing;
    const std::string before = readFile(copy + "/before");
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before, readFile(copy + "/after"));
}
