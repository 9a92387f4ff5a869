#include "OtherUser.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"

std::string otherUserUnavailable()
{
    if (geteuid() != 0)
        return "needs root to act as a second, unprivileged user";
    if (access("/usr/bin/setpriv", X_OK) != 0 && access("/bin/setpriv", X_OK) != 0)
        return "needs setpriv to run programs as a second user";
    return std::string();
}

pid_t forkAsOtherUser(const std::function<int()>& body)
{
    return forkChild([&] {
        if (setgroups(0, nullptr) != 0 || setresgid(kOtherGid, kOtherGid, kOtherGid) != 0 ||
            setresuid(kOtherUid, kOtherUid, kOtherUid) != 0)
            return 99;
        return body();
    });
}

int runProgramAsOtherUser(const std::string& program, const std::vector<std::string>& args, std::string* output,
                          const std::vector<std::string>& env)
{
    std::vector<std::string> all = {"--reuid=" + std::to_string(kOtherUid), "--regid=" + std::to_string(kOtherGid),
                                    "--clear-groups", program};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram("setpriv", all, output, env);
}

void letOtherUserReach(const std::string& path)
{
    std::string prefix;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        prefix = path.substr(0, pos);
        struct stat st;
        if (!prefix.empty() && stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && !(st.st_mode & S_IXOTH))
            chmod(prefix.c_str(), (st.st_mode & 07777) | S_IXOTH);
    }
}
