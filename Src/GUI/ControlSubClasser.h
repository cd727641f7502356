#pragma once

class QPoint;
class QWidget;

namespace GUI {

// Watches the direct children of a window: reports the control under the mouse to a target
// (for the status texts and information lines), gives a slider the keyboard focus when the mouse
// moves over it, and can hand the keys pressed on chosen controls to their parent window, so
// that the parent's own keys work whichever of them has the focus.
//
// Controls are known by their identifier, the widget property "controlId" (SetControlId).
class ControlSubClasser {
public:
    ControlSubClasser() = default;
    virtual ~ControlSubClasser() = default;
    ControlSubClasser(const ControlSubClasser&) = delete;
    ControlSubClasser& operator=(const ControlSubClasser&) = delete;

    // Called with a control's identifier when the mouse enters a new watched control, and with
    // -1 when it moves over the background after having been over a control.
    virtual void MouseOverControl(int id) = 0;

    // Watches every direct child of `parent` except plain left-aligned labels.
    static void SubClassChildControls(QWidget* parent, ControlSubClasser* target);
    // Stops watching the children of `parent`.
    static void RestoreChildControls(QWidget* parent);
    // Keys pressed on the three children with these identifiers go to `parent` instead.
    static void ForwardKeysToParent(QWidget* parent, int id1, int id2, int id3);
    // Whether a child is watched.
    static bool IsSubClassed(const QWidget* control);

    // The mouse moved to `position` in `window`, the parent of the watched controls. Over the
    // background it forgets the last control and reports -1, once. A move over a watched
    // control is that control's: controls pass their mouse moves on to their parent.
    void MouseOverBackground(const QWidget* window, const QPoint& position);

    static void SetControlId(QWidget* control, int id);
    // The control's identifier, 0 when it has none.
    static int ControlId(const QWidget* control);

    // The identifier of the control last reported under the mouse; 0 = none.
    int LastControl = 0;
};

}  // namespace GUI
