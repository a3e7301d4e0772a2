// A thumbnail set and file operations for the sheet's tests: records and progress set, operations recorded.
#pragma once

#include "app/loader/loaderroles.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class FakeThumbnails : public ThumbnailSource, public PictureOperations {
public:
    void updateThumbnails() override { ++updates; }
    ThumbnailReader readThumbnail(const std::string& name) override
    {
        auto it = records.find(name);
        return it == records.end() ? ThumbnailReader() : ThumbnailReader(setLock, *it->second);
    }
    LoaderProgress progress() override { return progressNow; }
    void setThumbnailSize(int size) override { thumbnailSize = size; }
    void setThumbnailCount(int count) override { thumbnailCount = count; }

    void transformPicture(const std::string& name, const oxImageTransform& t) override
    {
        operations.push_back("transform " + name + " rotation " + std::to_string(t.rotation) +
                             (t.setComment ? " comment " + t.comment : ""));
    }
    void convertPicture(const std::string& name, const std::string&, int, int, const oxToneMapping&, unsigned,
                        bool) override
    {
        operations.push_back("convert " + name);
    }
    void copyMovePicture(const std::string& name, const std::string&, bool, unsigned, bool) override
    {
        operations.push_back("copy/move " + name);
    }

    // A record for name (without tiles unless the test adds them).
    LoadedPicture& add(const std::string& name)
    {
        auto& r = records[name];
        r = std::make_unique<LoadedPicture>();
        r->name = name;
        return *r;
    }

    oxCriticalSection setLock;
    std::map<std::string, std::unique_ptr<LoadedPicture>> records;
    LoaderProgress progressNow;
    int updates = 0;
    int thumbnailSize = 0, thumbnailCount = 0;
    std::vector<std::string> operations;
};
