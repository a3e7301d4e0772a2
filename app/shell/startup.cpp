#include "app/shell/startup.h"

#include "app/shell/commandline.h"
#include "app/shell/configkeys.h"

#include "oxengine/core/errors.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/style.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/sound.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"

#include <unistd.h>

void prepareEngine()
{
    // First: the catalogue loads at the first text looked up, and a broken
    // one is reported through the sink.
    oxSetFailureSink(oxShowFailure);
    oxFilename::initialize();
    oxConfig::initialize("Quorvel Software", "Pictavo");
}

void applyStoredSettings()
{
    if (readConfigBool(ConfigKey::NoSound))
        soundEnabled = false;
    defaultGuiStyle.textHeight = readConfigInt(ConfigKey::GuiTextHeight);
    defaultGuiStyle.fgColour = readConfigColour(ConfigKey::GuiFgColour);
    defaultGuiStyle.bgColour = readConfigColour(ConfigKey::GuiBgColour);
}

void loadInterfaceFont()
{
    GLFontManager::getFont(defaultGuiStyle.fontName);
    for (const oxFontProblem& problem : GLFontManager::instance().takeProblems())
        oxShowMessage(problem.message, problem.title, MB_OK, MI_NONE);
}

void disableSoundForGood()
{
    soundEnabled = false;
    writeConfigBool(ConfigKey::NoSound, true);
}

std::optional<int> answerCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err, bool terminal)
{
    if (!line.error.empty()) {
        std::fprintf(err, "pictavo: %s\n\n%s\n", line.error.c_str(), usageText().c_str());
        std::fflush(err);
        return 2;
    }
    if (line.version) {
        std::fprintf(out, "%s\n", versionText().c_str());
        std::fflush(out);
        return 0;
    }
    if (!line.help)
        return std::nullopt;
    const std::string text = usageText();
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
    if (!terminal)
        oxShowMessage(text, usageTitle(), MB_OK, MI_NONE);
    return 0;
}

bool terminalAttached()
{
    return isatty(STDIN_FILENO) == 1 || isatty(STDOUT_FILENO) == 1 || isatty(STDERR_FILENO) == 1;
}
