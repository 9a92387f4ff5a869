// The store shared by the tool, the stand-ins and the programs: PIN attempts
// counted exactly across processes, slots, crash safety and damaged records.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "ChildProcess.h"
#include "standins/vtoken/Pin.h"
#include "standins/vtoken/Log.h"
#include "standins/vtoken/Store.h"
#include "TestRoot.h"

using namespace vtoken;

namespace {

class KeyStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = root.tempDir() + "/store";
        store.reset(new Store(folder));
    }

    void create(const std::string& serial, const std::string& pin = "12345678")
    {
        KeyRecord record;
        ASSERT_EQ(Status::Ok, newKeyRecord(serial, "label " + serial, pin, false, &record));
        ASSERT_EQ(Status::Ok, store->create(record));
    }

    KeyRecord load(const std::string& serial)
    {
        KeyRecord record;
        EXPECT_EQ(Status::Ok, store->load(serial, &record));
        return record;
    }

    TestRoot root;
    std::string folder;
    std::unique_ptr<Store> store;
};

TEST_F(KeyStore, PinAttemptsAreCountedLockedAndRestored)
{
    create("P1");
    PinResult r = store->verifyPin("P1", PinKind::User, "87654321");
    EXPECT_EQ(Status::PinIncorrect, r.status);
    EXPECT_EQ(9, r.attemptsLeft);
    EXPECT_EQ(9, load("P1").userPin.attemptsLeft);

    // A PIN no key accepts costs nothing.
    EXPECT_EQ(Status::PinLength, store->verifyPin("P1", PinKind::User, "123").status);
    EXPECT_EQ(Status::PinLength, store->verifyPin("P1", PinKind::User, std::string(17, '1')).status);
    EXPECT_EQ(9, load("P1").userPin.attemptsLeft);

    r = store->verifyPin("P1", PinKind::User, "12345678");
    EXPECT_EQ(Status::Ok, r.status);
    EXPECT_EQ(10, r.attemptsLeft);

    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Status::PinIncorrect, store->verifyPin("P1", PinKind::User, "00000000").status);
    r = store->verifyPin("P1", PinKind::User, "00000000");
    EXPECT_EQ(Status::PinLocked, r.status);
    EXPECT_EQ(0, r.attemptsLeft);
    // Locked means locked, also for the right PIN.
    EXPECT_EQ(Status::PinLocked, store->verifyPin("P1", PinKind::User, "12345678").status);
    EXPECT_EQ(Status::PinLocked, store->changePin("P1", PinKind::User, "12345678", "abcdefgh").status);

    // The admin PIN unlocks with a new user PIN; a wrong admin PIN is counted on the admin PIN.
    EXPECT_EQ(Status::PinIncorrect, store->unlockPin("P1", "00000000", "abcdefgh").status);
    EXPECT_EQ(9, load("P1").adminPin.attemptsLeft);
    r = store->unlockPin("P1", kDefaultAdminPin, "abcdefgh");
    EXPECT_EQ(Status::Ok, r.status);
    EXPECT_EQ(10, r.attemptsLeft);
    EXPECT_EQ(Status::Ok, store->verifyPin("P1", PinKind::User, "abcdefgh").status);
    EXPECT_EQ(10, load("P1").adminPin.attemptsLeft);
}

TEST_F(KeyStore, ChangingThePinMarksItChangedAndNeverStoresIt)
{
    create("C1");
    EXPECT_FALSE(load("C1").pinChanged);
    EXPECT_EQ(Status::PinLength, store->changePin("C1", PinKind::User, "12345678", "12345").status);
    EXPECT_FALSE(load("C1").pinChanged);
    PinResult r = store->changePin("C1", PinKind::User, "12345678", "new-pin-1");
    ASSERT_EQ(Status::Ok, r.status);
    EXPECT_TRUE(load("C1").pinChanged);
    EXPECT_EQ(Status::PinIncorrect, store->verifyPin("C1", PinKind::User, "12345678").status);
    EXPECT_EQ(Status::Ok, store->verifyPin("C1", PinKind::User, "new-pin-1").status);
    std::string text = readFile(store->recordPath("C1"));
    EXPECT_EQ(std::string::npos, text.find("new-pin-1"));
    EXPECT_EQ(std::string::npos, text.find("6e65772d70696e2d31"));  // nor its hex
}

TEST_F(KeyStore, ConcurrentWrongAttemptsFromTwoProcessesAreEachCountedOnce)
{
    create("Q1");
    ASSERT_EQ(Status::Ok, store->setRetries("Q1", 100));
    const int perChild = 20;
    auto attempts = [&] {
        Store own(folder);
        for (int i = 0; i < perChild; ++i) {
            if (own.verifyPin("Q1", PinKind::User, "wrong-pin").status != Status::PinIncorrect)
                return 1;
        }
        return 0;
    };
    pid_t a = forkChild(attempts);
    pid_t b = forkChild(attempts);
    EXPECT_EQ(0, waitChild(a));
    EXPECT_EQ(0, waitChild(b));
    EXPECT_EQ(100 - 2 * perChild, load("Q1").userPin.attemptsLeft);
}

TEST_F(KeyStore, AnAttemptIsOnDiskBeforeThePinIsCompared)
{
    // A slow hash gives time to kill the verifying process mid-comparison.
    KeyRecord record;
    ASSERT_EQ(Status::Ok, newKeyRecord("SLOW", "slow", "12345678", true, &record));
    ASSERT_EQ(Status::Ok, setPinSecret(&record.userPin, "12345678", 1000000));
    ASSERT_EQ(Status::Ok, store->create(record));
    pid_t verifier = forkChild([&] {
        Store(folder).verifyPin("SLOW", PinKind::User, "12345678");
        return 0;
    });
    int left = kDefaultAttempts;
    for (int i = 0; i < 2000 && left == kDefaultAttempts; ++i) {
        usleep(2000);
        left = load("SLOW").userPin.attemptsLeft;
    }
    kill(verifier, SIGKILL);
    EXPECT_EQ(128 + SIGKILL, waitChild(verifier));  // killed before it could restore the count
    // The killed attempt stays spent although the PIN was right.
    EXPECT_EQ(kDefaultAttempts - 1, load("SLOW").userPin.attemptsLeft);
}

TEST_F(KeyStore, AProcessKilledMidUpdateLeavesTheOldOrTheNewRecord)
{
    create("S1");
    for (int round = 0; round < 15; ++round) {
        pid_t writer = forkChild([&] {
            Store own(folder);
            for (int i = 0;; ++i) {
                own.setRetries("S1", i % 2 ? 200 : 100);
                own.update("S1", [&](KeyRecord& r) {
                    r.label = i % 2 ? "odd" : "even";
                    return Status::Ok;
                });
            }
            return 0;
        });
        usleep(static_cast<useconds_t>(2000 + round * 1700));
        kill(writer, SIGKILL);
        waitChild(writer);
        KeyRecord record;
        ASSERT_EQ(Status::Ok, store->load("S1", &record)) << "round " << round;
        EXPECT_TRUE(record.label == "even" || record.label == "odd" || record.label == "label S1");
        EXPECT_TRUE(record.userPin.attemptsLeft == 100 || record.userPin.attemptsLeft == 200 ||
                    record.userPin.attemptsLeft == kDefaultAttempts);
    }
    // The lock died with the writer: the key is still usable.
    EXPECT_EQ(Status::Ok, store->verifyPin("S1", PinKind::User, "12345678").status);
    // Leftover temporary files are not keys, and the next update sweeps them away.
    EXPECT_EQ(std::vector<std::string>{"S1"}, store->serials());
    writeFile(folder + "/.S1.vkey.tmpDEAD01", "half a record");
    ASSERT_EQ(Status::Ok, store->setRetries("S1", 5));
    std::string listing;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        listing += entry.path().filename().string() + " ";
    EXPECT_EQ(std::string::npos, listing.find(".tmp")) << listing;
}

TEST_F(KeyStore, PluggedKeysTakeTheLowestFreeOfFourSlots)
{
    for (const char* serial : {"A", "B", "C", "D", "E"})
        create(serial);
    int slot = -1;
    for (const char* serial : {"A", "B", "C", "D"})
        ASSERT_EQ(Status::Ok, store->plug(serial, &slot));
    EXPECT_EQ(3, slot);
    EXPECT_EQ(Status::NoFreeSlot, store->plug("E", &slot));
    EXPECT_FALSE(load("E").plugged);
    // Plugging twice keeps the slot.
    EXPECT_EQ(Status::Ok, store->plug("C", &slot));
    EXPECT_EQ(2, slot);

    ASSERT_EQ(Status::Ok, store->unplug("B"));
    EXPECT_EQ(-1, load("B").slot);
    ASSERT_EQ(Status::Ok, store->plug("E", &slot));
    EXPECT_EQ(1, slot);
    std::vector<KeyRecord> plugged = store->pluggedKeys();
    ASSERT_EQ(4u, plugged.size());
    EXPECT_EQ("A", plugged[0].serial);
    EXPECT_EQ("E", plugged[1].serial);
    EXPECT_EQ(Status::NotFound, store->plug("Z", &slot));
}

TEST_F(KeyStore, ConcurrentPlugsFromSeveralProcessesNeverShareASlot)
{
    for (const char* serial : {"A", "B", "C", "D"})
        create(serial);
    std::vector<pid_t> children;
    for (const char* serial : {"A", "B", "C", "D"}) {
        std::string s = serial;
        children.push_back(forkChild([&, s] { return Store(folder).plug(s) == Status::Ok ? 0 : 1; }));
    }
    for (pid_t child : children)
        EXPECT_EQ(0, waitChild(child));
    std::set<int> slots;
    for (const KeyRecord& key : store->pluggedKeys())
        slots.insert(key.slot);
    EXPECT_EQ((std::set<int>{0, 1, 2, 3}), slots);
}

TEST_F(KeyStore, ADamagedRecordIsRefusedWithALogLineAndTheOthersKeepWorking)
{
    create("GOOD");
    create("BAD");
    std::string text = readFile(store->recordPath("BAD"));
    text[text.find("flags")] = 'F';
    writeFile(store->recordPath("BAD"), text);
    // A good record copied under another serial's name is not that key.
    writeFile(store->recordPath("COPY"), readFile(store->recordPath("GOOD")));
    // Not files of the store's: a FIFO would block its reader, a link may lead anywhere.
    ASSERT_EQ(0, mkfifo(store->recordPath("PIPE").c_str(), 0600));
    ASSERT_EQ(0, symlink(store->recordPath("GOOD").c_str(), store->recordPath("LINK").c_str()));

    std::vector<std::string> lines;
    setLogSink([&](const std::string& line) { lines.push_back(line); });
    KeyRecord record;
    EXPECT_EQ(Status::Damaged, store->load("BAD", &record));
    EXPECT_EQ(Status::Damaged, store->load("COPY", &record));
    EXPECT_EQ(Status::Damaged, store->verifyPin("BAD", PinKind::User, "12345678").status);
    EXPECT_EQ(Status::Damaged, store->plug("BAD"));
    EXPECT_EQ(Status::Damaged, store->load("PIPE", &record));
    EXPECT_EQ(Status::Damaged, store->load("LINK", &record));
    setLogSink(nullptr);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find("BAD"));
    EXPECT_NE(std::string::npos, lines[0].find("damaged"));
    // The damaged record is left as it was for inspection.
    EXPECT_EQ(text, readFile(store->recordPath("BAD")));

    EXPECT_EQ(Status::Ok, store->plug("GOOD"));
    std::vector<ListedKey> listed = store->list();
    ASSERT_EQ(5u, listed.size());
    EXPECT_EQ(Status::Damaged, listed[0].status);  // BAD
    EXPECT_EQ(Status::Damaged, listed[1].status);  // COPY
    EXPECT_EQ(Status::Ok, listed[2].status);
    EXPECT_EQ(Status::Damaged, listed[3].status);  // LINK
    EXPECT_EQ(Status::Damaged, listed[4].status);  // PIPE
    ASSERT_EQ(1u, store->pluggedKeys().size());
    EXPECT_EQ(Status::Ok, store->remove("BAD"));
    EXPECT_EQ(Status::NotFound, store->load("BAD", &record));
}

TEST_F(KeyStore, ChangesByOtherProcessesAreSeenAndADamagedRecordIsLoggedOnce)
{
    create("V1");
    EXPECT_EQ("label V1", load("V1").label);
    for (int i = 0; i < 3; ++i) {
        pid_t child = forkChild([&] {
            return Store(folder).update("V1", [&](KeyRecord& r) {
                r.label = "v" + std::to_string(i);
                return Status::Ok;
            }) == Status::Ok ? 0 : 1;
        });
        ASSERT_EQ(0, waitChild(child));
        EXPECT_EQ("v" + std::to_string(i), load("V1").label);
    }

    std::vector<std::string> lines;
    setLogSink([&](const std::string& line) { lines.push_back(line); });
    std::string text = readFile(store->recordPath("V1"));
    text[20] ^= 1;
    writeFile(folder + "/replacement", text);
    ASSERT_EQ(0, rename((folder + "/replacement").c_str(), store->recordPath("V1").c_str()));
    KeyRecord record;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Status::Damaged, store->load("V1", &record));
    setLogSink(nullptr);
    EXPECT_EQ(1u, lines.size());
}

TEST_F(KeyStore, AnUpdateThatWouldDamageTheRecordIsRefused)
{
    create("U1");
    const std::string before = readFile(store->recordPath("U1"));
    const std::vector<std::function<void(KeyRecord&)>> edits = {
        [](KeyRecord& r) { r.label = std::string(33, 'x'); },
        [](KeyRecord& r) { r.plugged = true; },  // plugged without a slot
        [](KeyRecord& r) { r.userPin.attemptsLeft = 300; },
        [](KeyRecord& r) { r.containers.resize(9, Container{"c", KeyType::Rsa, {}, {}}); },
        [](KeyRecord& r) { r.containers.push_back(Container{"c", KeyType::Rsa, std::vector<uint8_t>(4097, 1), {}}); },
    };
    for (const auto& edit : edits) {
        EXPECT_EQ(Status::BadArgument, store->update("U1", [&](KeyRecord& r) {
            edit(r);
            return Status::Ok;
        }));
    }
    EXPECT_EQ(before, readFile(store->recordPath("U1")));
    EXPECT_EQ(Status::Ok, store->verifyPin("U1", PinKind::User, "12345678").status);
}

TEST_F(KeyStore, CreateRefusesDuplicatesAndBadInputWithoutTouchingTheStore)
{
    create("DUP");
    std::string before = readFile(store->recordPath("DUP"));
    KeyRecord record;
    ASSERT_EQ(Status::Ok, newKeyRecord("DUP", "other", "abcdefgh", true, &record));
    EXPECT_EQ(Status::Exists, store->create(record));
    EXPECT_EQ(before, readFile(store->recordPath("DUP")));
    EXPECT_EQ(Status::PinLength, newKeyRecord("X", "label", "12345", false, &record));
    EXPECT_EQ(Status::PinLength, newKeyRecord("X", "label", "1234567\n", false, &record));
    EXPECT_EQ(Status::BadArgument, newKeyRecord("X/..", "label", "12345678", false, &record));
    EXPECT_EQ(Status::BadArgument, store->setRetries("DUP", 256));
    EXPECT_EQ(Status::NotFound, store->setRetries("NONE", 3));
    EXPECT_EQ(Status::NotFound, store->remove("NONE"));
}

}  // namespace
