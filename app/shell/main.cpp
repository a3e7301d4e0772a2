// The program entry: settings and command line, then the viewer's main loop.
#include "app/shell/commandline.h"
#include "app/shell/pictavoapp.h"
#include "app/shell/startup.h"

#include "oxengine/core/memory.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/storage/files.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // A write past the file-size limit must fail as an error, not kill us.
    oxIgnoreFileSizeSignal();
    // Before the loader thread exists: the next picture reuses the pages of the last.
    oxReuseLargeAllocations();
    prepareEngine(argc > 0 && argv[0] ? argv[0] : "pictavo");
    applyStoredSettings();

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLine line = parseCommandLine(args, [](const std::string& a) { return oxFilename(a).exists(); });
    if (line.noSound)
        disableSoundForGood();
    if (line.help) {
        showUsage(stdout, isatty(STDOUT_FILENO) == 1);
        return 0;
    }

    PictavoApp app;
    if (line.window)
        app.setStartFullScreen(false);
    if (line.log)
        app.setLogging(true);
    if (line.thumbnails)
        app.setStartInThumbnails(true);
    if (!line.startPath.empty())
        app.setStartLocation(resolveStartPath(line.startPath));

    // GLUT sees the program name and what followed the start path: the
    // start path is ours, and a folder named like a GLUT option ("-display")
    // must not be taken for one.
    std::vector<char*> glutArgs{argc > 0 ? argv[0] : const_cast<char*>("pictavo")};
    for (int i = argc - static_cast<int>(line.rest.size()); i < argc; ++i)
        glutArgs.push_back(argv[i]);
    glutArgs.push_back(nullptr);
    return oxGLUTApplication::run(&app, static_cast<int>(glutArgs.size()) - 1, glutArgs.data());
}
