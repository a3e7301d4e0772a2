// Running part of a test in a child process: for crashes and kills on
// purpose, resource limits, and permission checks (which root would bypass).
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

// Runs fn in a forked child and returns its exit code, or 128 + the signal
// that ended it. With dropPrivileges a child started as root runs as the
// user "nobody" (65534), so file permissions apply to it.
int runInChild(const std::function<int()>& fn, bool dropPrivileges = false);

// Starts fn in a forked child and returns its pid at once (-1 on failure).
pid_t startChild(const std::function<int()>& fn);
// Waits for the child; exit code or 128 + signal.
int waitChild(pid_t pid);

// Makes the folder enterable and readable by other users (a TempDir is
// private to its owner), for children that dropped their privileges.
void allowOthersToEnter(const std::string& path);
