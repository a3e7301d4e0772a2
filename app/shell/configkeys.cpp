#include "app/shell/configkeys.h"

#include "app/shell/commands.h"

#include "oxengine/core/errors.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/storage/colour.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"

#include <iterator>
#include <type_traits>

namespace {

using T = ConfigType;
using K = ConfigKey;

// name, type, default, default text, clamped, min, max
constexpr ConfigKeyInfo TABLE[] = {
    {K::NoSound, "NoSound", T::Bool, 0, nullptr, false, 0, 0},
    {K::GuiTextHeight, "GuiTextHeight", T::Integer, 20, nullptr, true, 10, 100},
    {K::GuiFgColour, "GuiFgColour", T::Colour, 0, "#FFF", false, 0, 0},
    {K::GuiBgColour, "GuiBgColour", T::Colour, 0, "#000A", false, 0, 0},
    {K::LastFolder, "LastFolder", T::Text, 0, nullptr, false, 0, 0},
    {K::LastFile, "LastFile", T::Integer, 0, nullptr, false, 0, 0},
    {K::LastPath, "LastPath", T::Text, 0, "", false, 0, 0},
    {K::LastMode, "LastMode", T::Integer, 0, nullptr, false, 0, 0},
    {K::LastOverlays, "LastOverlays", T::Integer, 1, nullptr, true, 0, 2},
    {K::SortMode, "SortMode", T::Integer, CMD_SORT_BY_NAME, nullptr, false, 0, 0},
    {K::UseGLMipmap, "UseGLMipmap", T::Bool, 1, nullptr, false, 0, 0},
    {K::AnimLengthUs, "AnimLengthUs", T::Integer, 500000, nullptr, true, 1, 10000000},
    {K::ThnListMargin, "ThnListMargin", T::Integer, 400, nullptr, true, 50, 1000},
    {K::ThnTitleMargin, "ThnTitleMargin", T::Integer, 50, nullptr, true, 10, 100},
    {K::ThnItemSize, "ThnItemSize", T::Integer, 256, nullptr, true, 2, 1024},
    {K::ThnBorderWidth, "ThnBorderWidth", T::Integer, 5, nullptr, true, 1, 1000},
    {K::ThnMaxCount, "ThnMaxCount", T::Integer, 500, nullptr, true, 50, 5000},
    {K::ShowComments, "ShowComments", T::Bool, 0, nullptr, true, 0, 1},
    {K::ShowSizes, "ShowSizes", T::Bool, 0, nullptr, true, 0, 1},
    {K::ShowDate, "ShowDate", T::Bool, 0, nullptr, true, 0, 1},
};

// The table is indexed by the enum: keep both in the same order.
constexpr bool tableInEnumOrder()
{
    for (size_t i = 0; i < std::size(TABLE); ++i)
        if (static_cast<size_t>(TABLE[i].key) != i)
            return false;
    return true;
}
static_assert(tableInEnumOrder(), "TABLE must list the keys in the order of ConfigKey");

const ConfigKeyInfo& typed(ConfigKey key, bool (*accepts)(ConfigType))
{
    const ConfigKeyInfo& info = configKeyInfo(key);
    oxAssert(accepts(info.type), "configuration key read or written as the wrong type");
    return info;
}

// The store puts a settings file it cannot read aside and says so once.
void tellAboutSetAsideFile()
{
    if (const auto notice = oxConfig::takeNotice())
        oxShowMessage(*notice, std::string(), MB_OK, MI_WARNING);
}

// Runs one access of the store, then tells what it met.
template <typename Access>
auto storeAccess(Access access)
{
    if constexpr (std::is_void_v<decltype(access())>) {
        access();
        tellAboutSetAsideFile();
    } else {
        auto result = access();
        tellAboutSetAsideFile();
        return result;
    }
}

bool isNumber(ConfigType t)
{
    return t == T::Integer || t == T::Bool;
}
bool isColour(ConfigType t)
{
    return t == T::Colour;
}
bool isText(ConfigType t)
{
    return t == T::Text;
}

} // namespace

const ConfigKeyInfo& configKeyInfo(ConfigKey key)
{
    return TABLE[static_cast<size_t>(key)];
}

const ConfigKeyInfo* configKeyTable(size_t& count)
{
    count = std::size(TABLE);
    return TABLE;
}

int readConfigInt(ConfigKey key)
{
    const ConfigKeyInfo& info = typed(key, isNumber);
    return storeAccess([&] {
        return info.clamped ? oxConfig::getIntClamped(info.name, info.defaultInt, info.min, info.max)
                            : oxConfig::getInt(info.name, info.defaultInt);
    });
}

bool readConfigBool(ConfigKey key)
{
    return readConfigInt(key) != 0;
}

void writeConfigInt(ConfigKey key, int value)
{
    storeAccess([&] { oxConfig::setInt(typed(key, isNumber).name, value); });
}

void writeConfigBool(ConfigKey key, bool value)
{
    writeConfigInt(key, value ? 1 : 0);
}

oxColour readConfigColour(ConfigKey key)
{
    const ConfigKeyInfo& info = typed(key, isColour);
    try {
        return parseColour(storeAccess([&] { return oxConfig::getString(info.name, info.defaultText); }));
    } catch (const oxFormatException&) {
        return parseColour(info.defaultText);
    }
}

void writeConfigColour(ConfigKey key, const oxColour& colour)
{
    storeAccess([&] { oxConfig::setString(typed(key, isColour).name, formatColour(colour)); });
}

std::string readConfigText(ConfigKey key)
{
    const ConfigKeyInfo& info = typed(key, isText);
    const std::string fallback = info.defaultText ? std::string(info.defaultText)
                                                  : oxFilename::documentsFolder().toString(); // LastFolder
    return storeAccess([&] { return oxConfig::getString(info.name, fallback); });
}

void writeConfigText(ConfigKey key, const std::string& value)
{
    storeAccess([&] { oxConfig::setString(typed(key, isText).name, value); });
}
