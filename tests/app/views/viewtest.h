// Doubles for the view tests without a display.
#pragma once

#include "app/loader/textureloader.h"
#include "app/views/display.h"
#include "app/views/fototransform.h"
#include "app/views/viewapplication.h"

#include "oxengine/gui/button.h"
#include "oxengine/gui/container.h"
#include "oxengine/gui/guimenu.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class FakeFramework : public oxApplication {
public:
    FakeFramework(int w = 800, int h = 600) : m_width(w), m_height(h) {}
    void postRedisplay() override { ++redraws; }
    void swapBuffers() override {}
    void idleListenersChanged(int, int) override {}
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void resize(int w, int h) { m_width = w, m_height = h; }
    bool hasIdle(const oxIdleListener* l) const
    {
        const auto& list = idleListeners();
        return std::find(list.begin(), list.end(), l) != list.end();
    }
    int redraws = 0;

private:
    int m_width, m_height;
};

class FakeView : public Display {
public:
    explicit FakeView(oxGuiSize content, bool toWidth = false) : Display(nullptr), content(content), toWidth(toWidth) {}
    void setDisplayScale(double s) override { scale = s; }
    oxGuiSize contentSize() override { return content; }
    oxGuiSizeD scaledContentSize() override { return {content.width * scale, content.height * scale}; }
    bool fitsToWidth() const override { return toWidth; }
    void drawView(int) override {}
    oxGuiSize content;
    bool toWidth;
    double scale = 1.0;
};

// One 400 x 300 record per name, its holders counted; "missing" fails, "broken" has a note.
class FakeLoader : public TextureLoader {
public:
    // Names in pending are still being prepared.
    PictureRequest requestPicture(const std::string& name) override
    {
        heldAtRequest = readAheadHeld;
        if (pending.count(name))
            return {nullptr, true};
        if (name.find("missing") != std::string::npos)
            return {};
        auto& p = pictures[name];
        if (!p) {
            p = std::make_unique<LoadedPicture>();
            p->name = name;
            p->imageWidth = p->fullWidth = 400;
            p->imageHeight = p->fullHeight = 300;
            if (name.find("broken") != std::string::npos)
                p->note = "[Error while loading: damaged]";
        }
        ++uses[p.get()];
        return {p.get(), false};
    }
    std::set<std::string> pending;
    void releasePicture(LoadedPicture* p) override { --uses[p]; }
    void holdReadAhead(bool hold) override { readAheadHeld = hold; }
    bool readAheadHeld = false, heldAtRequest = false;
    int usesOf(const std::string& name) { return pictures.count(name) ? uses[pictures[name].get()] : 0; }
    LoadedPicture* record(const std::string& name) { return pictures[name].get(); }
    int inUse() const
    {
        int n = 0;
        for (const auto& [p, count] : uses)
            n += count;
        return n;
    }
    std::map<std::string, std::unique_ptr<LoadedPicture>> pictures;
    std::map<LoadedPicture*, int> uses;
};

// The application as the views see it, recording what they ask of it.
class FakeViewApp : public ViewApplication {
public:
    explicit FakeViewApp(oxApplication* framework) : m_framework(framework) {}
    oxApplication* framework() override { return m_framework; }
    FotoTransform* fotoTransform() override { return transform; }
    void stepPicture(int delta) override { calls.push_back("step " + std::to_string(delta)); }
    void selectFolder() override { calls.push_back("folder"); }
    void deletePicture(const std::string& path) override { calls.push_back("delete " + path); }
    void saveAs(const SaveAsRequest& r) override { calls.push_back("save " + r.path); }
    void showPictureAt(int index) override { calls.push_back("show " + std::to_string(index)); }
    void openFolder(const std::string& path, bool search) override
    {
        calls.push_back((search ? "search " : "open ") + path);
    }
    void convertPictures(const std::vector<PictureConversion>& pictures) override
    {
        for (const PictureConversion& p : pictures)
            calls.push_back("convert " + p.path + " mode " + std::to_string(p.toneMapping.mode));
    }
    void copyMovePictures(const std::vector<std::string>& paths, bool copy) override
    {
        for (const std::string& p : paths)
            calls.push_back((copy ? "copy " : "move ") + p);
    }
    FotoTransform* transform = nullptr;
    std::vector<std::string> calls;

private:
    oxApplication* m_framework;
};

// A menu's entries as "text=command", "-" for a separator, "text>" for a submenu.
inline std::vector<std::string> menuEntries(oxGuiPopupMenu& menu)
{
    std::vector<std::string> out;
    auto* column = dynamic_cast<oxGuiContainer*>(menu.content());
    for (size_t i = 0; column && i < column->childCount(); ++i) {
        oxGuiElement* child = column->child(i);
        if (auto* sub = dynamic_cast<oxGuiSubMenu*>(child))
            out.push_back(sub->getText() + ">");
        else if (auto* item = dynamic_cast<oxGuiButton*>(child))
            out.push_back(item->getText() + "=" + std::to_string(item->getCommand()));
        else
            out.push_back("-");
    }
    return out;
}
