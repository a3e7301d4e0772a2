// Part of a test in a child process: crashes and kills on purpose, resource limits, permission checks.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

// Starts fn in a forked child and returns its pid at once (-1 on failure). With dropPrivileges a child of
// root runs as "nobody", so file permissions apply.
pid_t startChild(const std::function<int()>& fn, bool dropPrivileges = false);
// Waits for the child: its exit code, or 128 + the signal that ended it.
int waitChild(pid_t pid);
// Runs fn in a forked child and waits for it.
inline int runInChild(const std::function<int()>& fn, bool dropPrivileges = false)
{
    return waitChild(startChild(fn, dropPrivileges));
}

// Lets other users (children that dropped their privileges) enter and read the folder.
void allowOthersToEnter(const std::string& path);
