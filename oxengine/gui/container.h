// An element with an ordered list of children it owns. Events go to the
// children in list order; later children are drawn over earlier ones.
#pragma once

#include "oxengine/gui/element.h"

#include <memory>
#include <vector>

class oxGuiContainer : public oxGuiElement {
public:
    using Children = std::vector<std::unique_ptr<oxGuiElement>>;

    oxGuiContainer() = default;
    // Destroys the children (the last first), then the element part.
    ~oxGuiContainer() override;

    // Takes ownership; a child of a transformed container gets the
    // transform too, so it is hit and drawn where its siblings are.
    virtual oxGuiElement* addChildOwned(std::unique_ptr<oxGuiElement> e);

    template <typename T>
    T* addChild(std::unique_ptr<T> e)
    {
        return static_cast<T*>(addChildOwned(std::move(e)));
    }
    size_t childCount() const { return m_children.size(); }
    oxGuiElement* child(size_t i) const { return i < m_children.size() ? m_children[i].get() : nullptr; }

    void setFontName(const std::string& name) override;
    void setPosition(oxGuiPoint p) override;
    void setSize(oxGuiSize s) override;
    void setTextHeight(int h) override;
    void setFgColour(oxColour c) override;
    void setBgColour(oxColour c) override;
    void setTransform(oxGuiTransform* t) override;
    void setEnabled(bool on) override;
    bool contains(const oxGuiElement* e) const override;
    bool onClick(int button, int x, int y) override;
    void onMouseMove(int button, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    bool onKeyUp(int key, bool special) override;
    bool onMouseWheel(int direction, int x, int y) override;
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes) override;
    void draw() override;
    void collectFocusable(std::vector<oxGuiElement*>& out) override;

protected:
    // Calls f on every child by index (children may be added on the way);
    // stops at the first f that returns true.
    template <typename F>
    bool anyChild(F&& f)
    {
        for (size_t i = 0; i < m_children.size(); ++i)
            if (f(*m_children[i]))
                return true;
        return false;
    }
    template <typename F>
    void forEachChild(F&& f)
    {
        for (size_t i = 0; i < m_children.size(); ++i)
            f(*m_children[i]);
    }

    Children m_children;
};
