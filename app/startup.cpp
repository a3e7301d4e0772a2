#include "app/startup.h"

#include "app/commandline.h"
#include "app/configkeys.h"

#include "oxengine/config.h"
#include "oxengine/files.h"
#include "oxengine/gui/style.h"
#include "oxengine/messagebox.h"
#include "oxengine/sound.h"

void prepareEngine(const std::string& programPath)
{
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
