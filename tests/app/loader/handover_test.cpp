// Thumbnails the sheet's first frame read before the loader ran, handed to its workers.
#include "loadertest.h"

#include "app/prepare/thumbnail.h"
#include "app/shell/loaderwiring.h"

#include <gtest/gtest.h>

TEST(ThumbnailHandover, AThumbnailHandedOverIsTakenOnceInsteadOfRead)
{
    TempDir dir;
    const std::string gone = dir.file("gone.jpg"); // there is nothing to read
    auto handover = std::make_shared<ThumbnailHandover>();
    ThumbnailImage read;
    read.image = oxImageUInt8::create(4, 3);
    handover->put(gone, 256, std::move(read));
    const LoaderServices services = programLoaderServices({}, nullptr, handover);
    EXPECT_ANY_THROW(services.makeThumbnail(gone, 128, oxCancelToken::none())) << "another edge";
    EXPECT_NO_THROW(services.makeThumbnail(gone, 256, oxCancelToken::none()));
    EXPECT_ANY_THROW(services.makeThumbnail(gone, 256, oxCancelToken::none())) << "taken once";
}
