// The program entry: settings and command line, then the viewer's main loop.
#include "app/shell/commandline.h"
#include "app/shell/pictavoapp.h"
#include "app/shell/startup.h"

#include "oxengine/core/memory.h"
#include "oxengine/core/startuptrace.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/platform/rc.h"
#include "oxengine/storage/files.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // A write past the file-size limit must fail as an error, not kill us.
    oxIgnoreFileSizeSignal();
    // Before the loader thread exists: the next picture reuses the pages of the last.
    oxReuseLargeAllocations();
    oxPreferInterpretedVertexPrograms();
    prepareEngine();
    applyStoredSettings();

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLine line = parseCommandLine(args, [](const std::string& a) { return oxFilename(a).exists(); });
    if (const std::optional<int> code = answerCommandLine(line, stdout, stderr, terminalAttached()))
        return *code;
    // The trace starts here: what came before is the dynamic loader and the settings.
    if (const char* trace = std::getenv("PICTAVO_TRACE"); trace && *trace && std::string(trace) != "0")
        oxTraceStartup(true);
    oxMarkStartup("options parsed");
    if (line.noSound)
        disableSoundForGood();

    PictavoApp app;
    if (line.window)
        app.setStartFullScreen(false);
    if (line.log)
        app.setLogging(true);
    if (line.thumbnails)
        app.setStartInThumbnails(true);
    if (!line.startPath.empty())
        app.setStartLocation(resolveStartPath(line.startPath));

    // Every argument is ours: GLUT sees only the program name, so a folder
    // named like a GLUT option ("-display") is never taken for one.
    char* glutArgs[] = {argc > 0 ? argv[0] : const_cast<char*>("pictavo"), nullptr};
    return oxGLUTApplication::run(&app, 1, glutArgs);
}
