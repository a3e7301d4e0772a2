#include "app/shell/commandline.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/handler.h"
#include "oxengine/storage/files.h"

#ifndef PICTAVO_VERSION
#define PICTAVO_VERSION "0"
#endif

namespace {

enum class Option { None, Help, Version, Log, Window, NoSound, Thumbnails };

Option optionOf(const std::string& argument)
{
    const std::string arg = toLower(argument);
    if (arg == "-h" || arg == "--help" || arg == "/?")
        return Option::Help;
    if (arg == "-v" || arg == "--version")
        return Option::Version;
    std::string_view name = arg;
    if (startsWith(name, "--"))
        name.remove_prefix(2);
    else if (startsWith(name, "-") || startsWith(name, "/"))
        name.remove_prefix(1);
    else
        return Option::None;
    if (name == "log")
        return Option::Log;
    if (name == "window")
        return Option::Window;
    if (name == "nosound")
        return Option::NoSound;
    if (name == "thumbnails")
        return Option::Thumbnails;
    return Option::None;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args,
                             const std::function<bool(const std::string&)>& pathExists)
{
    CommandLine result;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        const bool exists = pathExists && pathExists(arg);
        const Option option = optionsEnded || exists ? Option::None : optionOf(arg);
        if (!optionsEnded && !exists && arg == "--") {
            optionsEnded = true;
            continue;
        }
        switch (option) {
        case Option::Help:
            result.help = true;
            continue;
        case Option::Version:
            result.version = true;
            continue;
        case Option::Log:
            result.log = true;
            continue;
        case Option::Window:
            result.window = true;
            continue;
        case Option::NoSound:
            result.noSound = true;
            continue;
        case Option::Thumbnails:
            result.thumbnails = true;
            continue;
        case Option::None:
            break;
        }
        if (!optionsEnded && !exists && startsWith(arg, "-")) {
            if (result.error.empty())
                result.error = formatString(oxGetTranslation("Unknown option '%s'."), arg.c_str());
            continue;
        }
        // Further paths are passed over: "pictavo *.jpg" from a shell, or a
        // launcher handing over several files, opens the folder at the first.
        if (result.startPath.empty())
            result.startPath = arg;
    }
    return result;
}

StartLocation resolveStartPath(const std::string& path)
{
    const oxFilename name(path);
    const bool exists = name.exists();
    if (exists && name.isDirectory())
        return {name.toString(), {}};
    // A missing path is a folder (reported as missing) unless it names a
    // picture, whose folder is then opened.
    if (!exists && !oxImageFilenameFilter().accept(name.parentFolder(), name.name()))
        return {oxFilename(name.systemPath() + "/").toString(), {}};
    return {name.parentFolder().toString(), name.systemPath()};
}

std::string usageTitle()
{
    return oxGetTranslation("Pictavo command line help");
}

std::string usageText()
{
    // Tabs end the first column: a terminal puts the second at column 16, a
    // box lines it up in its font.
    return oxGetTranslation("Pictavo picture viewer. Usage: \n\npictavo [options] [folder or file]\n\n"
                            " folder, file\tShow the pictures of the folder (a file: of its folder, from it).\n"
                            " -window\tShows the app in a window (not full-screen).\n"
                            " -log\t\tCreates a log file (in 'Documents').\n"
                            " -nosound\tDisables sound. (Can be re-enabled in the settings dialog.)\n"
                            " -h, --help\tShows this text.\n"
                            " -thumbnails\tStarts in the thumbnail view.\n"
                            " --version\tShows the version.\n\n"
                            "Options may come before or after the folder and may be written -window, --window or "
                            "/window.\nPress [F1] for online help.");
}

std::string versionText()
{
    return "Pictavo " PICTAVO_VERSION;
}
