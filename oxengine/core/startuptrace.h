// The start-up trace: how long after the process started each stage of the
// start was first reached, for finding where a slow start spends its time.
// Off by default; any thread may mark a stage.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct oxStartupStage {
    std::string name;
    double ms = 0; // since the process started (the kernel's start time, to its clock tick)
};

// Records the first time stage is reached (later marks of it are ignored)
// and hands its line to the outputs. Nothing while the trace is off.
void oxMarkStartup(const char* stage);

// Switches the trace on: stages go to stderr when toStderr (stays so), and
// to line, which replaces the last one given (empty: none); stages reached
// before are handed to a new output at once.
void oxTraceStartup(bool toStderr, std::function<void(const std::string& line)> line = {});
bool oxStartupTraced();

// The stages reached so far, in order.
std::vector<oxStartupStage> oxStartupStages();
// "startup: <stage> <ms> ms", the line of one stage.
std::string oxStartupLine(const oxStartupStage& stage);
