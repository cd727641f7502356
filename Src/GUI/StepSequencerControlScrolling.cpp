#include "GUI/StepSequencerControl.h"

#include <QScrollBar>
#include <algorithm>

// The step sequencer's horizontal scrolling: by the scroll bar, the keys and the cursor.
namespace GUI {

int StepSequencerControl::ScrollPosition() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _scrollPosition;
}

int StepSequencerControl::ScrollMaximum() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _scrollMaximum;
}

bool StepSequencerControl::SetScrollPositionLocked(int position)
{
    position = std::clamp(position, 0, std::max(0, _scrollMaximum));
    if (position == _scrollPosition)
        return false;
    _scrollPosition = position;
    return true;
}

void StepSequencerControl::Scroll(int request, int thumbPosition)
{
    bool moved = false;
    int position = 0;
    {
        std::lock_guard<std::mutex> lock(_lock);
        position = _scrollPosition;
        switch (request) {
        case LineLeft: position -= 5; break;
        case LineRight: position += 5; break;
        case PageLeft: position -= 20; break;
        case PageRight: position += 20; break;
        case ThumbPosition:
        case ThumbTrack: position = thumbPosition; break;
        case PixelLeft: position -= 1; break;
        case PixelRight: position += 1; break;
        default: break;
        }
        moved = SetScrollPositionLocked(position);
        position = _scrollPosition;
    }
    if (!moved)
        return;
    // The picture is drawn already: the view only shows another part of it.
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint(0, 0, _clientWidth, std::max(0, ViewHeight()));
    UpdateScrollBar();
}

void StepSequencerControl::UpdateScrollBar()
{
    const int position = ScrollPosition();
    if (_scrollBar->value() != position) {
        const QSignalBlocker blocker(_scrollBar);
        _scrollBar->setValue(position);
    }
}

}  // namespace GUI
