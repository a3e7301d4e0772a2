// The GUI host: a listener that owns top-level elements, draws them and
// turns the framework's listener calls into element events; and the
// toolkit's input state (keyboard focus, running drag) with the dispatch
// routines the host and modal runs share. Main thread only.
#pragma once

#include "oxengine/gui/element.h"
#include "oxengine/platform/glapp.h"

#include <memory>
#include <vector>

struct oxGuiDragState {
    oxGuiElement* element = nullptr; // receives the drag; null: none runs
    int axes = 0;                    // bit 0 horizontal, bit 1 vertical
    int distance = 0;                // movement along the axes since the press
    bool moved = false;              // past the threshold, drag cursor shown
    const void* source = nullptr;    // the listener that started it
};

// The element with the keyboard focus, or null (not owned).
oxGuiElement* focusedElement();
const oxGuiDragState& dragState();

// Moves the focus to e (not null): the old element hears
// onFocusChanged(false), e onFocusChanged(true). Nothing if e has it.
void setFocus(oxGuiElement* e);
// Moves the focus to the next (or previous) element of root's subtree that
// accepts it, wrapping around; false when there is none.
bool focusNext(oxGuiElement& root, bool forward = true);

// Left-button presses offer a drag to element; a left release ends the
// running drag wherever the pointer is. Other buttons are not handled.
// source names the listener that routes the events: the framework sends
// every motion to all listeners, and only the one that started a drag
// moves it, so a motion is applied once however many hosts forward it.
bool dispatchMouseButton(oxGuiElement& element, int button, bool pressed, int x, int y,
                         const void* source = nullptr);
// Moves the running drag along its axes; nothing when none runs or when
// another source started it.
void dispatchDrag(int dx, int dy, const void* source = nullptr);
// The focused element's onKeyDown; false without a focus.
bool dispatchKeyToFocus(int key, bool special);

// Called by every element's destructor: the focus and drag forget it.
void oxGuiForgetElement(const oxGuiElement* e);

class oxGuiHost : public oxGUIEventListener {
public:
    oxGuiHost() = default;
    // Destroys the elements, then leaves the application's listener list.
    ~oxGuiHost() override;

    bool onMouseButton(int button, bool pressed, int x, int y) override;
    bool onClick(int button, int x, int y) override;
    void onDrag(int dx, int dy) override;
    void onMouseMove(int button, int x, int y) override;
    bool onMouseWheel(int direction, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    bool onKeyUp(int key, bool special) override;
    virtual void applyStyle(const oxGuiStyle& style);

    // Takes ownership; returns the element for further set-up.
    template <typename T>
    T* addElement(std::unique_ptr<T> e, bool atFront = false)
    {
        T* raw = e.get();
        addOwned(std::unique_ptr<oxGuiElement>(std::move(e)), atFront);
        return raw;
    }
    // Destroys the element; false when the host does not hold it.
    bool removeElement(oxGuiElement* e);
    // Draws every element in list order (later ones over earlier ones).
    void renderElements();
    const std::vector<std::unique_ptr<oxGuiElement>>& elements() const { return m_elements; }

private:
    void addOwned(std::unique_ptr<oxGuiElement> e, bool atFront);
    template <typename Call>
    bool untilHandled(Call call);

    std::vector<std::unique_ptr<oxGuiElement>> m_elements;
};
