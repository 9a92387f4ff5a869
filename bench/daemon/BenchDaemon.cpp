// Insertion latency of the running daemon on a simulated USB bus: from the
// uevent to the slot published in the registry, less the waits the pass is
// made of (1000 ms after the notification, 200 ms before its one attempt);
// then the idle daemon's resident memory and wake-ups.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/daemon/support/DaemonHarness.h"

namespace {

using Clock = std::chrono::steady_clock;

const double kPrescribedMs = 1000.0 + 200.0;

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t i = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(i, values.size() - 1)];
}

// Context switches of every thread of the process: each one is a wake-up.
long contextSwitches(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    long total = 0;
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string status = tasks + "/" + entry->d_name + "/status";
        total += std::max(0L, procField(status, "voluntary_ctxt_switches:"));
        total += std::max(0L, procField(status, "nonvoluntary_ctxt_switches:"));
    }
    closedir(dir);
    return total;
}

bool waitPresent(DaemonHarness& h, int slot, bool present, Clock::time_point* when, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        const ZTSlotRegistry* reg = h.registry();
        if (reg && (__atomic_load_n(&reg->slotRecords[slot].present, __ATOMIC_ACQUIRE) == 1) == present) {
            *when = Clock::now();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    int insertions = 20;
    int idleSeconds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!strcmp(argv[i], "--insertions"))
            insertions = std::max(1, atoi(argv[++i]));
        else if (!strcmp(argv[i], "--idle-seconds"))
            idleSeconds = std::max(1, atoi(argv[++i]));
    }
    try {
        DaemonHarness h;
        const std::string serial = h.createKey("Bench");
        const pid_t daemon = h.startDaemon();
        if (!h.waitRegistry(15000)) {
            fprintf(stderr, "the daemon did not publish its registry:\n%s\n", h.daemonOutput(daemon).c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // the start-up pass is over

        std::vector<double> totals, overheads;
        for (int i = 0; i < insertions; ++i) {
            const int slot = h.plugInStore(serial);
            const auto uevent = Clock::now();
            h.plugOnBus(serial);
            Clock::time_point published;
            if (slot < 0 || !waitPresent(h, slot, true, &published, 20000)) {
                fprintf(stderr, "insertion %d was not published\n%s\n", i, h.daemonOutput(daemon).c_str());
                return 1;
            }
            const double ms = std::chrono::duration<double, std::milli>(published - uevent).count();
            totals.push_back(ms);
            overheads.push_back(ms - kPrescribedMs);
            h.unplugKey(serial);
            if (!waitPresent(h, slot, false, &published, 20000)) {
                fprintf(stderr, "removal %d was not published\n", i);
                return 1;
            }
            // Let the removal pass finish before the next insertion.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        printf("RESULT daemon_insert_to_slot_median %.1f ms\n", percentile(totals, 0.5));
        printf("RESULT daemon_insert_overhead_median %.1f ms target <20 ms (waits of %.0f ms subtracted)\n",
               percentile(overheads, 0.5), kPrescribedMs);
        printf("RESULT daemon_insert_overhead_p90 %.1f ms\n", percentile(overheads, 0.9));
        printf("RESULT daemon_insert_overhead_max %.1f ms\n", *std::max_element(overheads.begin(), overheads.end()));

        // Idle: no key events for a while.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const long before = contextSwitches(daemon);
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        const long after = contextSwitches(daemon);
        const std::string proc = "/proc/" + std::to_string(daemon);
        const long rssKb = procField(proc + "/status", "VmRSS:");
        printf("RESULT daemon_idle_rss %.1f MiB target <15 MiB\n", static_cast<double>(rssKb) / 1024.0);
        // Most of the resident set is shared library pages (Qt, and the
        // libraries the daemon must load); these say what is its own.
        printf("RESULT daemon_idle_rss_anon %.1f MiB\n",
               static_cast<double>(procField(proc + "/status", "RssAnon:")) / 1024.0);
        printf("RESULT daemon_idle_pss %.1f MiB\n",
               static_cast<double>(procField(proc + "/smaps_rollup", "Pss:")) / 1024.0);
        printf("RESULT daemon_idle_wakeups %.2f per_s target no busy polling\n",
               static_cast<double>(after - before) / idleSeconds);
        fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        fprintf(stderr, "bench_daemon: %s\n", e.what());
        return 1;
    }
}
