#include "childprocess.h"

#include <cstdio>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
[[noreturn]] void runAndExit(const std::function<int()>& fn, bool dropPrivileges)
{
    int code = 127;
    if (dropPrivileges && geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(126);
    }
    try {
        code = fn();
    } catch (...) {
        code = 125;
    }
    std::fflush(nullptr);
    _exit(code);
}
} // namespace

pid_t startChild(const std::function<int()>& fn, bool dropPrivileges)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
        runAndExit(fn, dropPrivileges);
    return pid;
}

int waitChild(pid_t pid)
{
    if (pid < 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void allowOthersToEnter(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        chmod(path.c_str(), st.st_mode | S_IXOTH | S_IROTH);
}
