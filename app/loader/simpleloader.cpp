#include "app/loader/simpleloader.h"

#include <algorithm>

SimpleTextureLoader::SimpleTextureLoader(PictureFiller fill) : m_fill(std::move(fill))
{
}

SimpleTextureLoader::~SimpleTextureLoader()
{
    for (auto& p : m_pictures) {
        oxLock lock(p->lock);
        p->releaseTiles();
    }
}

PictureRequest SimpleTextureLoader::requestPicture(const std::string& name)
{
    auto picture = std::make_unique<LoadedPicture>();
    std::string error;
    if (!fillLoadedPicture(m_fill, *picture, name, oxCancelToken::none(), &error) && error.empty())
        return {}; // the preparation said no
    m_pictures.push_back(std::move(picture));
    return {m_pictures.back().get(), false};
}

void SimpleTextureLoader::releasePicture(LoadedPicture* picture)
{
    auto it = std::find_if(m_pictures.begin(), m_pictures.end(), [picture](const auto& p) { return p.get() == picture; });
    if (it == m_pictures.end())
        return;
    std::unique_ptr<LoadedPicture> gone = std::move(*it);
    m_pictures.erase(it);
    oxLock lock(gone->lock);
    gone->releaseTiles();
}
