// The memory certificate store: filled by one process, read and cleared per
// slot by others, never hung by a dead lock holder.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "standins/vtoken/MemCertStore.h"
#include "standins/vtoken/StoreConfig.h"
#include "TestRoot.h"

using namespace vtoken;

namespace {

class MemStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        segment = memStoreSegmentName();
        lock = memStoreLockName();
        MemCertStore::unlinkNames(segment, lock);
    }
    void TearDown() override { MemCertStore::unlinkNames(segment, lock); }

    std::unique_ptr<MemCertStore> open()
    {
        std::unique_ptr<MemCertStore> store;
        EXPECT_EQ(Status::Ok, MemCertStore::open(segment, lock, &store));
        return store;
    }

    static std::vector<uint8_t> cert(uint8_t fill, size_t size) { return std::vector<uint8_t>(size, fill); }

    TestRoot root;
    std::string segment;
    std::string lock;
};

TEST_F(MemStore, NamesFollowTheConfiguredCspName)
{
    EXPECT_EQ(simplifiedCspName(root.cspName()) + "CSPX64", segment);
    EXPECT_EQ(simplifiedCspName(root.cspName()) + "TKSHMLOCK", lock);
    setIniValue(root.configPath(), "ZTTokenInfo", "CSPName", "My Token CSP v2.1");
    EXPECT_EQ("MYTOKENCSPV21CSPX64", memStoreSegmentName());
    EXPECT_EQ("MYTOKENCSPV21TKSHMLOCK", memStoreLockName());
}

TEST_F(MemStore, CertificatesWrittenByOneProcessAreReadAndClearedPerSlotByOthers)
{
    const std::vector<uint8_t> a = cert(0xa1, 4096), b = cert(0xb2, 1), c = cert(0xc3, 700);
    pid_t writer = forkChild([&] {
        std::unique_ptr<MemCertStore> own;
        if (MemCertStore::open(segment, lock, &own) != Status::Ok)
            return 1;
        bool ok = own->put(1, 1, a.data(), a.size()) == Status::Ok && own->put(1, 16, b.data(), b.size()) == Status::Ok &&
                  own->put(2, 1, c.data(), c.size()) == Status::Ok;
        return ok ? 0 : 2;
    });
    ASSERT_EQ(0, waitChild(writer));

    std::unique_ptr<MemCertStore> store = open();
    std::vector<uint8_t> got;
    ASSERT_EQ(Status::Ok, store->get(1, 1, &got));
    EXPECT_EQ(a, got);
    ASSERT_EQ(Status::Ok, store->get(1, 16, &got));
    EXPECT_EQ(b, got);
    EXPECT_EQ(Status::NoCert, store->get(1, 2, &got));
    EXPECT_EQ(Status::NoCert, store->get(0, 1, &got));

    pid_t clearer = forkChild([&] {
        std::unique_ptr<MemCertStore> own;
        return MemCertStore::open(segment, lock, &own) == Status::Ok && own->clearSlot(1) == Status::Ok ? 0 : 1;
    });
    ASSERT_EQ(0, waitChild(clearer));
    EXPECT_EQ(Status::NoCert, store->get(1, 1, &got));
    EXPECT_EQ(Status::NoCert, store->get(1, 16, &got));
    ASSERT_EQ(Status::Ok, store->get(2, 1, &got));
    EXPECT_EQ(c, got);

    // A shorter certificate over a longer one leaves no trace of the old bytes.
    ASSERT_EQ(Status::Ok, store->put(2, 1, b.data(), b.size()));
    ASSERT_EQ(Status::Ok, store->get(2, 1, &got));
    EXPECT_EQ(b, got);
    ASSERT_EQ(Status::Ok, store->remove(2, 1));
    EXPECT_EQ(Status::NoCert, store->get(2, 1, &got));
}

TEST_F(MemStore, PlacesAndSizesOutsideTheStoreAreRefused)
{
    std::unique_ptr<MemCertStore> store = open();
    std::vector<uint8_t> big = cert(1, 4097), one = cert(1, 1), got;
    EXPECT_EQ(Status::BadArgument, store->put(0, 1, big.data(), big.size()));
    EXPECT_EQ(Status::BadArgument, store->put(0, 1, one.data(), 0));
    EXPECT_EQ(Status::BadArgument, store->put(4, 1, one.data(), 1));
    EXPECT_EQ(Status::BadArgument, store->put(-1, 1, one.data(), 1));
    EXPECT_EQ(Status::BadArgument, store->put(0, 0, one.data(), 1));
    EXPECT_EQ(Status::BadArgument, store->put(0, 17, one.data(), 1));
    EXPECT_EQ(Status::BadArgument, store->get(3, 17, &got));
    EXPECT_EQ(Status::BadArgument, store->clearSlot(4));
}

TEST_F(MemStore, ALockHolderThatDiedDoesNotHangTheOthers)
{
    std::unique_ptr<MemCertStore> store = open();
    pid_t holder = forkChild([&] {
        std::unique_ptr<MemCertStore> own;
        if (MemCertStore::open(segment, lock, &own) != Status::Ok || own->lockForTest() != Status::Ok)
            return 1;
        _exit(0);  // dies holding the lock
    });
    ASSERT_EQ(0, waitChild(holder));
    std::vector<uint8_t> one = cert(7, 10), got;
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Status::Ok, store->put(3, 5, one.data(), one.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    // And the lock works normally afterwards.
    ASSERT_EQ(Status::Ok, store->get(3, 5, &got));
    EXPECT_EQ(one, got);
}

TEST_F(MemStore, ALiveHolderThatNeverReleasesGivesBusyNotAHang)
{
    std::unique_ptr<MemCertStore> store = open();
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t holder = forkChild([&] {
        std::unique_ptr<MemCertStore> own;
        if (MemCertStore::open(segment, lock, &own) != Status::Ok || own->lockForTest() != Status::Ok)
            return 1;
        char c = 'x';
        if (write(ready[1], &c, 1) != 1)
            return 2;
        pause();
        return 0;
    });
    char c;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    store->setLockTimeoutMs(300);
    std::vector<uint8_t> got;
    EXPECT_EQ(Status::Busy, store->get(0, 1, &got));
    kill(holder, SIGKILL);
    waitChild(holder);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(Status::NoCert, store->get(0, 1, &got));
}

TEST_F(MemStore, ASegmentOfAnotherSizeOrLayoutIsLeftAlone)
{
    int fd = shm_open(("/" + segment).c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ftruncate(fd, 4096));
    std::unique_ptr<MemCertStore> store;
    EXPECT_EQ(Status::IoError, MemCertStore::open(segment, lock, &store));
    struct stat info;
    ASSERT_EQ(0, fstat(fd, &info));
    EXPECT_EQ(4096, info.st_size);

    // Right size, foreign contents.
    ASSERT_EQ(0, ftruncate(fd, static_cast<off_t>(kMemSegmentSize)));
    ASSERT_EQ(4, pwrite(fd, "JUNK", 4, 0));
    EXPECT_EQ(Status::IoError, MemCertStore::open(segment, lock, &store));
    close(fd);
}

TEST_F(MemStore, FreshSegmentAndLockAreOpenToEveryUser)
{
    mode_t old = umask(077);
    std::unique_ptr<MemCertStore> store = open();
    umask(old);
    struct stat info;
    ASSERT_EQ(0, stat(("/dev/shm/" + segment).c_str(), &info));
    EXPECT_EQ(0666u, info.st_mode & 0777);
    EXPECT_EQ(262720, info.st_size);  // the documented layout
    ASSERT_EQ(0, stat(("/dev/shm/sem." + lock).c_str(), &info));
    EXPECT_EQ(0666u, info.st_mode & 0777);
}

}  // namespace
