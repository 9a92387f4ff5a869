// Test programs that drive a USB testbed re-run themselves under
// umockdev-wrapper once, before main: the testbed's uevents and libusb both
// look at sysfs through the preload library.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct ReexecUnderUmockdev {
    ReexecUnderUmockdev()
    {
        const char* preload = getenv("LD_PRELOAD");
        if (preload && strstr(preload, "umockdev"))
            return;
        if (getenv("ZVIT_UNDER_UMOCKDEV"))
            return;  // the wrapper is missing or refused: fail in the tests, not here
        setenv("ZVIT_UNDER_UMOCKDEV", "1", 1);
        // The preload library comes before the sanitizer runtime.
        std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (asan.empty() ? "" : asan + ":").append("verify_asan_link_order=0").c_str(), 1);
        std::vector<char*> args;
        args.push_back(const_cast<char*>("umockdev-wrapper"));
        std::string self = "/proc/self/exe";
        char path[4096];
        ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
        if (n > 0) {
            path[n] = '\0';
            self = path;
        }
        args.push_back(&self[0]);
        std::string cmdline;
        // Pass our own arguments on (gtest filters and the like).
        FILE* f = fopen("/proc/self/cmdline", "rb");
        std::vector<std::string> rest;
        if (f) {
            std::string arg;
            int c;
            bool first = true;
            while ((c = fgetc(f)) != EOF) {
                if (c == 0) {
                    if (!first)
                        rest.push_back(arg);
                    first = false;
                    arg.clear();
                } else {
                    arg.push_back(static_cast<char>(c));
                }
            }
            fclose(f);
        }
        for (std::string& a : rest)
            args.push_back(&a[0]);
        args.push_back(nullptr);
        execvp("umockdev-wrapper", args.data());
    }
};

ReexecUnderUmockdev s_reexec;

}  // namespace
