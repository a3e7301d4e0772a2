#include "oxengine/gui/style.h"

oxGuiStyle defaultGuiStyle;
