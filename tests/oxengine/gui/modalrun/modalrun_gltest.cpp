// A modal run in the real main loop; a program of its own, as each case forks a fresh GLUT session.
#include <gtest/gtest.h>

#include "support/loopapp.h"

#include "oxengine/gui/button.h"
#include "oxengine/gui/modal.h"
#include "oxengine/gui/sizers.h"

using namespace std::chrono_literals;

namespace {

class Dialog : public oxGuiModalPanel {
public:
    Dialog() : oxGuiModalPanel(std::make_unique<oxGuiVSizer>())
    {
        auto* column = static_cast<oxGuiVSizer*>(content());
        column->addChild(std::make_unique<oxGuiLabel>("Waiting for a click"));
        ok = column->addChild(std::make_unique<oxGuiModalButton>(this, GUI_CMD_OK, "OK"));
        applyStyle(defaultGuiStyle);
        setPosition({20, 20});
    }
    bool onCommand(unsigned c) override
    {
        if (c != 701)
            return false;
        ownCommand = true;
        return true;
    }
    oxGuiButton* ok = nullptr;
    std::atomic<bool> ownCommand{false};
};

} // namespace

TEST(GuiModalRun, SleepsTakesPostsAndClicksAndPassesOnTheRest)
{
    isolatedCase([] {
        LoopApp app;
        app.setInitialWindowSize(320, 200);
        std::atomic<bool> running{false}, rescanned{false};
        std::atomic<int> result{-1}, okX{0}, okY{0};
        std::unique_ptr<Dialog> dialog;
        app.commandHook = [&](unsigned c) {
            if (c == 223) {
                rescanned = !running;
                return true;
            }
            if (c != 700)
                return false;
            dialog = std::make_unique<Dialog>();
            okX = dialog->ok->getPosition().x + dialog->ok->getSize().width / 2;
            okY = dialog->ok->getPosition().y + dialog->ok->getSize().height / 2;
            running = true;
            result = dialog->runModal();
            running = false;
            return true;
        };
        double used = -1;
        bool tookPost = false;
        const int rc = app.runFor(40s, [&] {
            app.postCommand(700);
            if (!waitUntil([&] { return running.load(); }, 5s))
                return app.postCommand(LoopApp::CMD_QUIT);
            std::this_thread::sleep_for(300ms);
            const double start = cpuSeconds();
            std::this_thread::sleep_for(1s);
            used = cpuSeconds() - start;
            app.postCommand(223); // background work done: not the dialog's
            app.postCommand(701);
            tookPost = waitUntil([&] { return dialog && dialog->ownCommand.load(); }, 5s);
            clickInWindow(app.nativeHandles().window, okX, okY);
            waitUntil([&] { return !running && rescanned; }, 5s);
            app.postCommand(LoopApp::CMD_QUIT);
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(app.timedOut);
        EXPECT_TRUE(tookPost);
        EXPECT_EQ(result.load(), GUI_CMD_OK);
        EXPECT_TRUE(rescanned.load()); // delivered after the run, not swallowed
        std::printf("processor time during an idle modal run: %.1f ms over 1 s\n", used * 1000.0);
        EXPECT_GE(used, 0.0);
        EXPECT_LT(used, 0.02);
        dialog.reset();
    });
}
