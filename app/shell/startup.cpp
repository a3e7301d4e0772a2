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

void prepareEngine(const std::string& programPath)
{
    // First: the catalogue loads at the first text looked up, and a broken
    // one is reported through the sink.
    oxSetFailureSink(oxShowFailure);
    oxFilename::initialize(programPath);
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

void showUsage(std::FILE* out, bool outIsTerminal)
{
    const std::string text = usageText();
    std::fputs(text.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
    if (!outIsTerminal)
        oxShowMessage(text, usageTitle(), MB_OK, MI_NONE);
}
