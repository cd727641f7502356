#include "GUI/Model/UndoActionPool.h"

#include <new>

#include "System/ILog.h"

namespace GUI {

namespace {

UndoAction* NewActionWithoutThrowing() noexcept
{
    return new (std::nothrow) UndoAction();
}

}  // namespace

UndoActionPool::UndoActionPool(int growth, NewAction newAction) noexcept
    : _growth(growth > 0 ? growth : DefaultGrowth), _newAction(newAction ? newAction : NewActionWithoutThrowing)
{
}

UndoActionPool::~UndoActionPool()
{
    while (_freeList) {
        UndoAction* action = _freeList;
        _freeList = action->next;
        delete action;
    }
}

bool UndoActionPool::Allocate() noexcept
{
    ++_allocationCount;
    for (int i = 0; i < _growth; ++i) {
        UndoAction* action = _newAction();
        if (!action) {
            System::Log().Write(System::Error,
                                "Unable to allocate memory for UndoAction object in UndoActionPool::Allocate");
            return false;
        }
        action->next = _freeList;
        _freeList = action;
        ++_freeCount;
    }
    return true;
}

UndoAction* UndoActionPool::Take() noexcept
{
    if (!_freeList)
        Allocate();
    UndoAction* action = _freeList;
    if (!action)
        return nullptr;
    _freeList = action->next;
    action->next = nullptr;
    --_freeCount;
    return action;
}

void UndoActionPool::GiveBack(UndoAction* action) noexcept
{
    if (!action)
        return;
    action->next = _freeList;
    _freeList = action;
    ++_freeCount;
}

void UndoActionPool::GiveBackList(UndoAction* top) noexcept
{
    if (!top)
        return;
    UndoAction* last = top;
    int count = 1;
    while (last->next) {
        last = last->next;
        ++count;
    }
    last->next = _freeList;
    _freeList = top;
    _freeCount += count;
}

}  // namespace GUI
