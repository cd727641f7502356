#pragma once

#include "GUI/Model/UndoAction.h"

namespace GUI {

// The free list of undo actions. It grows in blocks of `growth` actions and gives no memory
// back while it lives, so that recording an edit costs a pointer swap once enough actions exist.
class UndoActionPool {
public:
    static constexpr int DefaultGrowth = 20;

    // Makes one action without throwing; nullptr when memory is short. The pool frees its
    // actions with delete, so a replacement must allocate with new.
    using NewAction = UndoAction* (*)() noexcept;

    explicit UndoActionPool(int growth = DefaultGrowth, NewAction newAction = nullptr) noexcept;
    // Frees every action on the free list.
    ~UndoActionPool();

    UndoActionPool(const UndoActionPool&) = delete;
    UndoActionPool& operator=(const UndoActionPool&) = delete;

    // Adds `growth` new actions to the free list. When an allocation fails the failure is
    // logged and the pool stops growing for this call; returns false then.
    bool Allocate() noexcept;

    // Pops a free action, growing the pool first when the list is empty; nullptr when no
    // action can be had (the failure has been logged).
    UndoAction* Take() noexcept;

    // Pushes one action back onto the free list.
    void GiveBack(UndoAction* action) noexcept;

    // Links a whole stack (from `top` down through `next`) in front of the free list.
    void GiveBackList(UndoAction* top) noexcept;

    int Growth() const noexcept { return _growth; }
    // Number of calls of Allocate so far.
    int AllocationCount() const noexcept { return _allocationCount; }
    // Actions on the free list now.
    int FreeCount() const noexcept { return _freeCount; }

private:
    UndoAction* _freeList = nullptr;
    int _growth;
    NewAction _newAction;
    int _allocationCount = 0;
    int _freeCount = 0;
};

}  // namespace GUI
