#include "app/shell/commandline.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/storage/files.h"

namespace {

enum class Option { None, Help, Log, Window, NoSound, Thumbnails };

Option optionOf(const std::string& argument)
{
    const std::string arg = toLower(argument);
    if (arg == "-h" || arg == "--help" || arg == "/?")
        return Option::Help;
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
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const Option option = optionOf(args[i]);
        if (option == Option::None || (pathExists && pathExists(args[i])))
            break;
        ++result.consumedOptions;
        switch (option) {
        case Option::Help:
            result.help = true;
            break;
        case Option::Log:
            result.log = true;
            break;
        case Option::Window:
            result.window = true;
            break;
        case Option::NoSound:
            result.noSound = true;
            break;
        case Option::Thumbnails:
            result.thumbnails = true;
            break;
        case Option::None:
            break;
        }
    }
    if (i < args.size()) {
        result.startPath = args[i];
        result.rest.assign(args.begin() + static_cast<long>(i) + 1, args.end());
    }
    return result;
}

StartLocation resolveStartPath(const std::string& path)
{
    const oxFilename name(path);
    // A missing path typed with a trailing "/" is meant as that folder (found
    // empty and reported), not as a file in its parent.
    name.exists();
    if (name.isDirectory())
        return {name.toString(), {}};
    return {name.parentFolder().toString(), name.systemPath()};
}

std::string usageTitle()
{
    return oxGetTranslation("Pictavo command line help");
}

std::string usageText()
{
    return oxGetTranslation("Pictavo picture viewer. Usage: \n\nPictavo [-window] [-log] [-thumbnails] [folder]\n\n"
                            " folder      Show pictures in selected folder. \n"
                            " -window     Shows the app in a window (not full-screen).\n"
                            " -log        Creates a log file (in 'Documents').\n"
                            " -nosound    Disables sound. (Can be re-enabled in the settings dialog.)\n"
                            " -thumbnails Starts in the thumbnail view.\n\n"
                            "Press [F1] for online help.");
}
