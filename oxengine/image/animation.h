// The frames of an animated picture: each the whole picture as it is shown
// at its time, how long each stays, and how often the sequence plays.
#pragma once

#include <memory>
#include <vector>

class oxImage;

struct oxAnimation {
    // Shorter delays (many files say 0 or 10 ms) are shown this long, so
    // that an animation never redraws faster than this.
    static constexpr int MIN_DELAY_MS = 20;

    std::vector<std::unique_ptr<oxImage>> frames;
    std::vector<int> delays; // milliseconds, at least MIN_DELAY_MS, one per frame
    int plays = 1;           // 0: forever
};
