#include "app/prepare/prepare.h"

#include "app/prepare/headstart.h"
#include "app/prepare/preparesteps.h"
#include "app/shell/configkeys.h"
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/memory.h"
#include "oxengine/core/startuptrace.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/handler.h"

#include <algorithm>

MipmapGen tileMipmapMode(const TilePlan& plan, bool useDriverMipmaps)
{
    if (useDriverMipmaps)
        return MIPMAP_AUTO;
    const bool powerOfTwo = oxIsPowerOfTwo(uint32_t(plan.tileWidth)) && oxIsPowerOfTwo(uint32_t(plan.tileHeight));
    return powerOfTwo ? MIPMAP_GLU : MIPMAP_ENGINE;
}

uint64_t pictureMemoryBudget()
{
    const uint64_t available = oxAvailableMemory();
    return available == 0 ? kPictureMemoryCeiling : std::min(kPictureMemoryCeiling, available / 2);
}

void uploadTiles(oxImage& image, const TilePlan& plan, MipmapGen mode, LoadedPicture& picture,
                 const oxCancelToken& cancel)
{
    // Pictures without alpha keep opaque alpha bytes, so only the margins
    // beyond the picture become transparent.
    image.setComponents(4);
    picture.tileWidth = plan.tileWidth;
    picture.tileHeight = plan.tileHeight;
    const oxTextureParams params = tileTextureParams();
    for (int column = 0; column < plan.columns; ++column) {
        for (int row = 0; row < plan.rows; ++row) {
            cancel.check();
            // Read in place: the part of a tile beyond the picture's edge
            // becomes transparent black.
            std::unique_ptr<oxTexture2D> texture = createTexture(image, plan.tileX(column), plan.tileY(row),
                                                                 plan.tileWidth, plan.tileHeight, mode, params);
            if (!texture)
                throw oxTextureException(oxGetTranslation("Can't create texture."));
            picture.tiles[row][column] = oxTextureRef(std::move(texture));
        }
    }
}

// The tiles of every frame of an animated picture (its first frame's are
// those already uploaded).
void uploadFrames(const oxAnimation& animation, const TilePlan& plan, MipmapGen mode, LoadedPicture& picture,
                  const oxCancelToken& cancel)
{
    picture.frames.push_back(picture.tiles);
    for (size_t k = 1; k < animation.frames.size(); ++k) {
        LoadedPicture frame;
        uploadTiles(*animation.frames[k], plan, mode, frame, cancel);
        picture.frames.push_back(std::move(frame.tiles));
    }
    picture.frameDelays = animation.delays;
    picture.framePlays = animation.plays;
}

namespace {

oxSize firstLookBox(int coverWidth, int coverHeight, int limit)
{
    return {int(std::min<int64_t>(2 * int64_t(coverWidth) - 1, limit)),
            int(std::min<int64_t>(2 * int64_t(coverHeight) - 1, limit))};
}

oxLoadOptions decodeOptions(const oxSize& maximum)
{
    oxLoadOptions options(maximum);
    options.budget = decodedPictureBudget(pictureMemoryBudget());
    return options;
}

bool prepare(const std::string& fileName, LoadedPicture& picture, const oxCancelToken& cancel,
             DecodeHeadStart* headStart)
{
    picture.name = fileName;
    // A record filled again must not keep the texts of its last load.
    picture.text.clear();
    picture.note.clear();

    picture.firstLook = false;
    // Full pictures are asked for without a limit, thumbnails with their size.
    const bool wholePicture = picture.imageWidth <= 0 && picture.imageHeight <= 0;

    const oxTextureCapabilities caps = textureCapabilities();
    const int limit = pictureEdgeLimit(caps.maxTextureSize);
    const bool wantFirstLook = picture.coverWidth > 0 && picture.coverHeight > 0 &&
                           oxImageRegistry::instance().decodesReduced(fileName);
    if (wantFirstLook) {
        // Fitting within twice the cover (less one) keeps the smallest
        // halving that still covers it: the halving before it was at least
        // twice the cover along one side, so this one is at least the cover
        // along that side, and fitting is limited by that side or the other.
        const oxSize box = firstLookBox(picture.coverWidth, picture.coverHeight, limit);
        picture.imageWidth = box.width;
        picture.imageHeight = box.height;
    }
    if (picture.imageWidth <= 0 || picture.imageWidth > limit)
        picture.imageWidth = limit;
    if (picture.imageHeight <= 0 || picture.imageHeight > limit)
        picture.imageHeight = limit;

    oxLoadOptions options = decodeOptions(oxSize(picture.imageWidth, picture.imageHeight));
    options.cancel = &cancel;
    std::unique_ptr<oxImage> image = headStart ? headStart->take(fileName, options.maximum, cancel) : nullptr;
    if (!image) {
        image = oxImageRegistry::instance().loadImage(fileName, options);
        oxMarkStartup("first decode done");
    }
    picture.firstLook = wantFirstLook && image->reduction() > 1;
    describePicture(fileName, *image, limit, picture);
    const TilePlan plan = planTiles(int(std::min<uint32_t>(image->width(), INT32_MAX)),
                                    int(std::min<uint32_t>(image->height(), INT32_MAX)), caps.maxTextureSize,
                                    caps.npotTextures);
    const MipmapGen mode = tileMipmapMode(plan, readConfigBool(ConfigKey::UseGLMipmap));
    picture.frames.clear();
    picture.frameDelays.clear();
    picture.shownFrame = 0;
    uploadTiles(*image, plan, mode, picture, cancel);
    // Frames only for a whole picture at the file's size (a thumbnail, a
    // first look or a reduced picture is still).
    if (image->animation() && wholePicture && image->reduction() == 1 && !picture.firstLook)
        uploadFrames(*image->animation(), plan, mode, picture, cancel);
    return true;
}

} // namespace

bool preparePicture(const std::string& fileName, LoadedPicture& picture, const oxCancelToken& cancel)
{
    return prepare(fileName, picture, cancel, nullptr);
}

bool prepareHeadStartedPicture(const std::string& fileName, LoadedPicture& picture, const oxCancelToken& cancel,
                               DecodeHeadStart& headStart)
{
    return prepare(fileName, picture, cancel, &headStart);
}

bool startFirstLookDecode(DecodeHeadStart& headStart, const std::string& fileName, int coverWidth, int coverHeight)
{
    if (coverWidth <= 0 || coverHeight <= 0 || !oxImageRegistry::instance().decodesReduced(fileName))
        return false;
    headStart.start(fileName, decodeOptions(firstLookBox(coverWidth, coverHeight, INT32_MAX)));
    return true;
}
