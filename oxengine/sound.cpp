#include "oxengine/sound.h"

std::atomic<bool> soundEnabled{true};

bool beep(int kind)
{
    (void)kind;
    return true;
}
