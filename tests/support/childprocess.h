// Part of a test in a child process: crashes and kills on purpose, resource limits, permission checks.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

// Runs fn in a forked child: its exit code, or 128 + the signal that ended it. With dropPrivileges a child
// of root runs as "nobody", so file permissions apply.
int runInChild(const std::function<int()>& fn, bool dropPrivileges = false);

// Starts fn in a forked child (as runInChild) and returns its pid at once (-1 on failure).
pid_t startChild(const std::function<int()>& fn, bool dropPrivileges = false);
// Waits for the child; exit code or 128 + signal.
int waitChild(pid_t pid);

// Lets other users (children that dropped their privileges) enter and read the folder.
void allowOthersToEnter(const std::string& path);
