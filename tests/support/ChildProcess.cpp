#include "ChildProcess.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

pid_t forkChild(const std::function<int()>& body)
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 1;
        try {
            rc = body();
        } catch (...) {
            rc = 2;
        }
        _exit(rc);
    }
    return pid;
}

int waitChild(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

namespace {

pid_t spawn(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
            int outFd)
{
    std::vector<std::string> argStore;
    argStore.push_back(program);
    argStore.insert(argStore.end(), args.begin(), args.end());
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        if (outFd >= 0) {
            dup2(outFd, STDOUT_FILENO);
            dup2(outFd, STDERR_FILENO);
            close(outFd);
        }
        std::vector<char*> argv;
        for (std::string& a : argStore)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

}  // namespace

pid_t spawnProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env)
{
    return spawn(program, args, env, -1);
}

int runProgram(const std::string& program, const std::vector<std::string>& args, std::string* output,
               const std::vector<std::string>& env)
{
    int fds[2] = {-1, -1};
    if (output && pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    pid_t pid = spawn(program, args, env, output ? fds[1] : -1);
    if (output) {
        close(fds[1]);
        char buf[4096];
        ssize_t n;
        output->clear();
        while ((n = read(fds[0], buf, sizeof(buf))) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0)
                output->append(buf, static_cast<size_t>(n));
        }
        close(fds[0]);
    }
    return waitChild(pid);
}

long procField(const std::string& path, const char* field)
{
    std::ifstream in(path);
    std::string line;
    const size_t len = strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, len, field) == 0)
            return atol(line.c_str() + len + 1);
    }
    return -1;
}
