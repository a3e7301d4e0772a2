// The program's command line: options in their three spellings, the start
// folder or file, and the usage text.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct CommandLine {
    bool help = false;
    bool log = false;
    bool window = false;
    bool noSound = false;
    bool thumbnails = false; // start in the thumbnail view
    // The first argument that is not an option, as typed; empty when none.
    std::string startPath;
    // Options consumed before the start path (or before the end).
    int consumedOptions = 0;
    // The arguments after the start path; nobody reads them but GLUT.
    std::vector<std::string> rest;
};

// args are the arguments after the program path. An option is compared
// after lower-casing, in its "-name", "--name" and "/name" forms; help is
// "-h", "--help" or "/?". The first other argument ends the options and is
// the start path. So does an argument that names an existing file or folder:
// "/log" may be a folder on this system, and then it is one.
CommandLine parseCommandLine(const std::vector<std::string>& args,
                             const std::function<bool(const std::string&)>& pathExists);

// Where a start path leads: the folder to list and, when the path names a
// file (or nothing that exists), the picture to open there.
struct StartLocation {
    std::string folder; // ends with "/"
    std::string file;   // full path, empty when the path is a folder
};
StartLocation resolveStartPath(const std::string& path);

// The translated usage message and its caption.
std::string usageText();
std::string usageTitle();
