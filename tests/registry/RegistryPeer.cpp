// A separate process for the registry tests: plays the daemon or a consumer
// against the registry of a test root, or maps the segment raw.
//   RegistryPeer <root> init
//   RegistryPeer <root> add <slot> <name> <handle> <label>
//   RegistryPeer <root> remove <slot> <name>
//   RegistryPeer <root> mark <kind> <slot>
//   RegistryPeer <root> clear
//   RegistryPeer <root> consume <count> <ready file> <out file>
//   RegistryPeer <root> register <ready file>        (stays registered until killed)
//   RegistryPeer <root> count <iterations> <offset>
//   RegistryPeer <root> hold <ready file> [release after ms]
//   RegistryPeer <root> dump <segment name> <out file>  (raw, without the common layer)
// Exit code 0 on success, 3 when the registry call failed, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "registry/Pkcs11SlotManager.h"
#include "RegistryTokenInfo.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"

namespace {

void writeText(const char* path, const std::string& text)
{
    std::string tmp = std::string(path) + ".part";
    FILE* f = fopen(tmp.c_str(), "w");
    if (!f)
        return;
    fputs(text.c_str(), f);
    fclose(f);
    rename(tmp.c_str(), path);  // readers never see half a file
}

int dumpRaw(const char* name, const char* outPath)
{
    int fd = shm_open(name, O_RDONLY, 0);
    if (fd < 0)
        return 3;
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0)
        return 3;
    void* p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED)
        return 3;
    FILE* f = fopen(outPath, "wb");
    if (!f)
        return 3;
    size_t written = fwrite(p, 1, static_cast<size_t>(st.st_size), f);
    fclose(f);
    munmap(p, static_cast<size_t>(st.st_size));
    return written == static_cast<size_t>(st.st_size) ? 0 : 3;
}

DWORD join()
{
    DWORD rv = OpenSharedMemory();
    if (rv == 0)
        rv = AttachToSharedMemeory();
    if (rv == 0)
        rv = CreateWinProcLock();
    if (rv != 0)
        fprintf(stderr, "join failed: 0x%x\n", rv);
    return rv;
}

int consume(int count, const char* ready, const char* out)
{
    if (!SlotManagerRegisterProcess())
        return 3;
    writeText(ready, std::to_string(g_MgrProcIndex));
    std::string lines;
    for (int i = 0; i < count; ++i) {
        int kind = -1, slot = -1;
        if (SlotManagerGetSlotChanged(&kind, &slot, nullptr) != 0)
            return 3;
        lines += std::to_string(kind) + " " + std::to_string(slot) + "\n";
        writeText(out, lines);
    }
    SlotManagerUnRegisterProcess();
    return 0;
}

int countUnderLock(long iterations, long offset)
{
    if (offset < 0 || offset + 4 > ZT_P11_SHM_SIZE)
        return 2;
    volatile unsigned char* base = static_cast<volatile unsigned char*>(g_pSharedMemory);
    for (long i = 0; i < iterations; ++i) {
        if (WinProcLock() != 0)
            return 3;
        uint32_t value = 0;
        for (int b = 0; b < 4; ++b)
            value |= static_cast<uint32_t>(base[offset + b]) << (8 * b);
        // Widen the read-modify-write window so an unlocked pair would collide.
        if (i % 8 == 0)
            sched_yield();
        value++;
        for (int b = 0; b < 4; ++b)
            base[offset + b] = static_cast<unsigned char>(value >> (8 * b));
        WinProcUnLock();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    std::string root = argv[1];
    if (root.empty() || root.back() != '/')
        root += '/';
    const std::string cmd = argv[2];
    if (cmd == "dump")
        return argc == 5 ? dumpRaw(argv[3], argv[4]) : 2;

    if (root.size() >= ZT_PATH_LEN)
        return 2;
    memcpy(g_szFilesRoot, root.c_str(), root.size() + 1);
    setenv("ZVIT_FILES_ROOT", root.c_str(), 1);
    if (!LoadZTUtilLib()) {
        fprintf(stderr, "utility library did not load\n");
        return 2;
    }
    if (cmd == "init")
        return SlotManagerInitialize() == 0 ? 0 : 3;
    if (join() != 0)
        return 3;

    if (cmd == "add" && argc == 7) {
        int slot = atoi(argv[3]);
        unsigned char info[sizeof(TokenInfo64)];
        fillTestTokenInfo(info, slot);
        unsigned char label[ZT_LABEL_LEN];
        memset(label, ' ', sizeof(label));
        memcpy(label, argv[6], strnlen(argv[6], sizeof(label)));
        void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(strtoull(argv[5], nullptr, 0)));
        return SlotManagerAddSlotInfo(slot, argv[4], info, handle, label) == 0 ? 0 : 3;
    }
    if (cmd == "remove" && argc == 5) {
        int slot = atoi(argv[3]);
        unsigned char info[sizeof(TokenInfo64)];
        fillTestTokenInfo(info, slot);
        return SlotManagerRemoveSlotInfo(slot, argv[4], info, nullptr) == 0 ? 0 : 3;
    }
    if (cmd == "mark" && argc == 5)
        return SlotManagerSetSlotChanged(atoi(argv[3]), atoi(argv[4])) == 0 ? 0 : 3;
    if (cmd == "clear")
        return SlotManagerClearSlotInfo() == 0 ? 0 : 3;
    if (cmd == "consume" && argc == 6)
        return consume(atoi(argv[3]), argv[4], argv[5]);
    if (cmd == "register" && argc == 4) {
        if (!SlotManagerRegisterProcess())
            return 3;
        writeText(argv[3], std::to_string(g_MgrProcIndex));
        for (;;)
            pause();
    }
    if (cmd == "count" && argc == 5)
        return countUnderLock(atol(argv[3]), atol(argv[4]));
    if (cmd == "hold" && (argc == 4 || argc == 5)) {
        if (WinProcLock() != 0)
            return 3;
        writeText(argv[3], "held");
        if (argc == 4) {
            for (;;)
                pause();
        }
        usleep(static_cast<useconds_t>(atol(argv[4])) * 1000);
        WinProcUnLock();
        return 0;
    }
    return 2;
}
