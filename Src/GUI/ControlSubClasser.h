#pragma once

#include <QString>
#include <functional>

#include "GUI/ControlId.h"

class QPoint;
class QWidget;

namespace GUI {

// Watches the direct children of a window: reports the control under the mouse to a target
// (for the status texts and information lines), gives a slider the keyboard focus when the mouse
// moves over it, and can hand the keys pressed on chosen controls to their parent window, so
// that the parent's own keys work whichever of them has the focus.
//
// Controls are known by their identifier (GUI/ControlId.h).
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
    // A control whose keys go to its parent keeps the arrow, page and Home/End keys for
    // itself: a focused slider moves with them.
    static void KeepNavigationKeys(QWidget* control);
    // Whether a child is watched.
    static bool IsSubClassed(const QWidget* control);

    // The mouse moved to `position` in `window`, the parent of the watched controls. Over the
    // background it forgets the last control and reports -1, once. A move over a watched
    // control is that control's: controls pass their mouse moves on to their parent.
    void MouseOverBackground(const QWidget* window, const QPoint& position);

    // A filtered edit: only the characters of `accepted` (and Backspace and Tab) may be typed
    // into the watched `control`. Any other character never reaches it; `onReject` is told of
    // it instead. The edit then takes every key itself: Up, Down and the other keys without a
    // use in a line of text do nothing, Enter does nothing, Escape closes a window that is the
    // edit's parent, Tab moves to the next control, and Backspace, Delete, Home, End, Left and
    // Right edit as usual. Pasting and dropping text are off, so nothing slips past the filter.
    using RejectHandler = std::function<void(QWidget* control, char16_t character)>;
    static void SetAcceptedCharacters(QWidget* control, const QString& accepted, RejectHandler onReject);
    // The accepted characters of a filtered edit; empty for any other control.
    static QString AcceptedCharacters(const QWidget* control);

    // The balloon above an edit after a rejected character: title "Unacceptable Character",
    // the text of hint 3 (numbers and periods), 4 (numbers and plus signs) or 5 (numbers and
    // percent signs), then the simple beep.
    static void ShowUnacceptableCharacter(QWidget* edit, int hint);
    // How many balloons have been shown (each with its beep); tests compare it.
    static int BalloonCount();

    // The identifier of the control last reported under the mouse; 0 = none.
    int LastControl = 0;
};

}  // namespace GUI
