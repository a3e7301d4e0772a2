// Every configuration key of the program with its type, default and range.
// Read and write settings only through these functions, so that defaults and
// ranges live in this one table.
#pragma once

#include "oxengine/image/sampletypes.h"

#include <cstddef>
#include <string>

enum class ConfigKey {
    NoSound,
    GuiTextHeight,
    GuiFgColour,
    GuiBgColour,
    LastFolder,
    LastFile,
    LastPath,
    LastMode,
    LastOverlays,
    SortMode,
    UseGLMipmap,
    AnimLengthUs,
    ThnListMargin,
    ThnTitleMargin,
    ThnItemSize,
    ThnBorderWidth,
    ThnMaxCount,
    ShowComments,
    ShowSizes,
    ShowDate,
};

enum class ConfigType { Integer, Bool, Colour, Text };

struct ConfigKeyInfo {
    ConfigKey key;
    const char* name;        // the name in the store
    ConfigType type;
    int defaultInt;          // Integer and Bool keys
    const char* defaultText; // Colour keys; Text keys (null: computed, see readConfigText)
    bool clamped;
    int min, max;            // when clamped
};

const ConfigKeyInfo& configKeyInfo(ConfigKey key);
// All keys in the order of ConfigKey.
const ConfigKeyInfo* configKeyTable(size_t& count);

// Integer and Bool keys: the stored number, its default when missing or
// unreadable, limited to the key's range.
int readConfigInt(ConfigKey key);
bool readConfigBool(ConfigKey key);
void writeConfigInt(ConfigKey key, int value);
void writeConfigBool(ConfigKey key, bool value);

// Colour keys. A stored text that is not a colour ("#rrggbb" and kin) gives the
// key's default colour.
oxColour readConfigColour(ConfigKey key);
void writeConfigColour(ConfigKey key, const oxColour& colour);

// Text keys. "LastFolder" defaults to the user's documents folder.
std::string readConfigText(ConfigKey key);
void writeConfigText(ConfigKey key, const std::string& value);
