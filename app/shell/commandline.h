// The program's command line: options in their three spellings, before or
// after the start folder or file, and the usage text.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct CommandLine {
    bool help = false;
    bool version = false;
    bool log = false;
    bool window = false;
    bool noSound = false;
    bool thumbnails = false; // start in the thumbnail view
    // The first argument that is not an option, as typed (any further ones
    // are passed over); empty when none.
    std::string startPath;
    // Why the line cannot be used (translated; empty when it can): an
    // unknown option.
    std::string error;
};

// args are the arguments after the program path. An option is compared
// after lower-casing, in its "-name", "--name" and "/name" forms; help is
// "-h", "--help" or "/?", the version "--version" (or "-v"). Options may
// come before or after the start path, and after "--" every argument is a
// path. An argument that names an existing file or folder is a path, even
// when it is spelled like an option ("/log" may be a folder); one that
// starts with "-" and is neither is an unknown option.
CommandLine parseCommandLine(const std::vector<std::string>& args,
                             const std::function<bool(const std::string&)>& pathExists);

// Where a start path leads: the folder to list and, when the path names a
// picture file (or a picture file that is not there), the picture to open
// there. A path that names nothing else is taken as a folder, so that the
// user hears that it does not exist.
struct StartLocation {
    std::string folder; // ends with "/"
    std::string file;   // full path, empty when the path is a folder
};
StartLocation resolveStartPath(const std::string& path);

// The translated usage message and its caption.
std::string usageText();
std::string usageTitle();
// "Pictavo" and the version.
std::string versionText();
