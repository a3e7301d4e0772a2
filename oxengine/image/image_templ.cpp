#include "oxengine/image/image_templ.h"

template class oxImageImpl<oxColour>;
template class oxImageImpl<oxColourHalf>;
template class oxImageImpl<oxColourUInt16>;
