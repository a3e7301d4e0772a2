// A sheet started full-screen while the thumbnail cache lacks some of its
// first screen: that screen goes up at once without GL, the missing squares
// empty, and each thumbnail the head start makes is drawn into it as it
// comes. On a software renderer the GL driver's first frames (their shader
// compiles, then a frame per batch of thumbnails) take the cores from the
// decodes, so the GL frame waits until this screen is complete, the user
// acts, or a time limit has passed.
#pragma once

#include "app/prepare/thumbnailheadstart.h"
#include "app/views/thumbnails/thumbnaildisplay.h"

#include "oxengine/graphics/softframe.h"
#include "oxengine/platform/firstframe.h"
#include "oxengine/platform/glapp.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SheetFill : public oxGUIEventListener {
public:
    // The frame as shown, the sheet's pictures and the cells it drew empty.
    SheetFill(oxSoftFrame frame, std::vector<std::string> pictures, std::vector<int> missing);
    ~SheetFill() override;

    // What the head start reports to, for the list of missing cells' files;
    // safe on any thread, also after this fill is gone.
    ThumbnailHeadStart::Made receiver() const;
    // Called (on the reporting thread, briefly) whenever a thumbnail came;
    // set once the main loop runs, never called once this fill is gone.
    void setWake(std::function<void()> wake);

    // Main thread: draws the thumbnails that came into the frame and shows
    // them in the window and in cover (the GL window over it, 0 before).
    // False when they could not be shown: the GL frame has to take over.
    bool present(ThumbnailDisplay& sheet, oxFirstFrameWindow& window, unsigned long cover);
    // Every missing cell drawn and shown.
    bool complete() const { return m_drawn == m_missing.size(); }
    // Nothing more to wait for: every thumbnail came (made or not), the
    // user acted or the time is up.
    bool over() const;

    // Any key, click or wheel turn, or a new window size, ends the wait:
    // what follows is the GL frame's to show.
    bool onMouseButton(int, bool, int, int) override { return acted(); }
    bool onMouseWheel(int, int, int) override { return acted(); }
    bool onKeyDown(int, bool) override { return acted(); }
    void onReshape(int width, int height) override
    {
        if (width != m_frame.width() || height != m_frame.height())
            acted();
    }

    static constexpr std::chrono::milliseconds TIME_LIMIT{2000};
    std::chrono::milliseconds timeLeft() const;

private:
    bool acted()
    {
        m_acted = true;
        return false;
    }

    // Shared with the head start's threads.
    struct Inbox {
        std::mutex mutex;
        std::vector<std::pair<size_t, ThumbnailImage>> thumbnails;
        size_t came = 0;
        std::function<void()> wake;
    };

    oxSoftFrame m_frame;
    std::vector<std::string> m_pictures;
    std::vector<int> m_missing;
    std::shared_ptr<Inbox> m_inbox = std::make_shared<Inbox>();
    size_t m_drawn = 0;
    size_t m_came = 0;
    bool m_acted = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
