#pragma once

#include <cstdint>

namespace GUI {

// One change to one cell of the step sequencer grid. Actions live on singly linked stacks
// (the pool's free list and the grid's undo, redo and staged lists), all threaded through `next`.
struct UndoAction {
    enum Type : std::int32_t {
        Addition = 0,  // a hit was placed in an empty cell
        Removal = 1,   // a hit was taken out of a cell
        Volume = 2,    // a row's volume changed by `column` (signed)
    };

    std::int32_t type = Addition;
    std::int32_t row = 0;     // 0..11
    std::int32_t column = 0;  // 0..511; for a volume change, the change
    // Set on the first (lowest) and the last (topmost) action of a step of two or more actions;
    // clear on the actions between them and on a step of one action.
    bool groupMark = false;
    UndoAction* next = nullptr;
};

}  // namespace GUI
