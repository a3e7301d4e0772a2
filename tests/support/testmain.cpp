// Test entry: every test program starts with a message handler that answers
// boxes without a window (default answers) and prints them, so an unexpected
// box can never block a test run under Xvfb. Tests that want to see real
// boxes remove it with oxSetMessageHandler({}). The engine's failure reports
// go to the boxes, as the program's start-up has them.
#include "oxengine/core/errors.h"
#include "oxengine/platform/messagebox.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    oxSetFailureSink(oxShowFailure);
    oxSetMessageHandler([](const oxMessageRequest& r) {
        std::fprintf(stderr, "[message box] %s: %s\n", r.title.c_str(), r.text.c_str());
        oxMessageAnswer a;
        a.button = r.input ? MB_CANCEL : ((r.buttons & (MB_YES | MB_NO)) ? MB_YES : MB_OK);
        return a;
    });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
