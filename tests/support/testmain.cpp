// Every test program answers and prints boxes without a window, so that none can block a run; failure
// reports go to the boxes, as at the program's start-up.
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
