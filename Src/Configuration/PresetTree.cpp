#include "Configuration/PresetTree.h"

#include <algorithm>

#include "Platform/Text.h"

namespace Configuration {

namespace {

int CompareNames(const char16_t* a, const char16_t* b) noexcept
{
    return Platform::Text::Compare(a, b);
}

}  // namespace

PresetTree::~PresetTree()
{
    Clear();
}

ConfigurationData* PresetTree::Find(const char16_t* name) const noexcept
{
    ConfigurationData* node = _root;
    while (node) {
        int order = CompareNames(name, node->PresetName);
        if (order == 0)
            return node;
        node = order < 0 ? node->Left : node->Right;
    }
    return nullptr;
}

bool PresetTree::Insert(ConfigurationData* record) noexcept
{
    record->Balance = 0;
    record->Left = nullptr;
    record->Right = nullptr;
    bool inserted = false;
    Insert(_root, record, inserted);
    return inserted;
}

// Returns whether the subtree at `slot` grew in height.
bool PresetTree::Insert(ConfigurationData*& slot, ConfigurationData* record, bool& inserted) noexcept
{
    ConfigurationData* node = slot;
    if (!node) {
        slot = record;
        inserted = true;
        return true;
    }
    int order = CompareNames(record->PresetName, node->PresetName);
    if (order == 0)
        return false;
    if (order < 0) {
        if (!Insert(node->Left, record, inserted))
            return false;
        --node->Balance;
        if (node->Balance == 0)
            return false;
        if (node->Balance == -1)
            return true;
        if (node->Left->Balance == 1)
            RotateLeft(node->Left);
        RotateRight(slot);
        return false;
    }
    if (!Insert(node->Right, record, inserted))
        return false;
    ++node->Balance;
    if (node->Balance == 0)
        return false;
    if (node->Balance == 1)
        return true;
    if (node->Right->Balance == -1)
        RotateRight(node->Right);
    RotateLeft(slot);
    return false;
}

// R takes P's place; the balances are carried over without recomputing heights.
void PresetTree::RotateLeft(ConfigurationData*& slot) noexcept
{
    ConfigurationData* p = slot;
    ConfigurationData* r = p->Right;
    p->Right = r->Left;
    r->Left = p;
    slot = r;
    p->Balance = static_cast<std::int16_t>(p->Balance - 1 - std::max<int>(r->Balance, 0));
    r->Balance = static_cast<std::int16_t>(r->Balance - 1 + std::min<int>(p->Balance, 0));
}

void PresetTree::RotateRight(ConfigurationData*& slot) noexcept
{
    ConfigurationData* p = slot;
    ConfigurationData* l = p->Left;
    p->Left = l->Right;
    l->Right = p;
    slot = l;
    p->Balance = static_cast<std::int16_t>(p->Balance + 1 - std::min<int>(l->Balance, 0));
    l->Balance = static_cast<std::int16_t>(l->Balance + 1 + std::max<int>(p->Balance, 0));
}

ConfigurationData* PresetTree::Remove(const char16_t* name) noexcept
{
    ConfigurationData* removed = nullptr;
    Remove(_root, name, removed);
    if (removed) {
        removed->Balance = 0;
        removed->Left = nullptr;
        removed->Right = nullptr;
    }
    return removed;
}

// Returns whether the subtree at `slot` shrank in height.
bool PresetTree::Remove(ConfigurationData*& slot, const char16_t* name, ConfigurationData*& removed) noexcept
{
    ConfigurationData* node = slot;
    if (!node)
        return false;
    int order = CompareNames(name, node->PresetName);
    if (order < 0)
        return Remove(node->Left, name, removed) && LeftShrank(slot);
    if (order > 0)
        return Remove(node->Right, name, removed) && RightShrank(slot);

    removed = node;
    if (!node->Left || !node->Right) {
        slot = node->Left ? node->Left : node->Right;
        return true;
    }
    // Two children: the greatest name of the left subtree takes the node's place and balance.
    ConfigurationData* predecessor = nullptr;
    bool shrank = RemoveGreatest(node->Left, predecessor);
    predecessor->Left = node->Left;
    predecessor->Right = node->Right;
    predecessor->Balance = node->Balance;
    slot = predecessor;
    return shrank && LeftShrank(slot);
}

bool PresetTree::RemoveGreatest(ConfigurationData*& slot, ConfigurationData*& greatest) noexcept
{
    ConfigurationData* node = slot;
    if (node->Right)
        return RemoveGreatest(node->Right, greatest) && RightShrank(slot);
    greatest = node;
    slot = node->Left;
    return true;
}

// Rebalances after the left subtree of `slot` shrank; returns whether the whole subtree shrank.
bool PresetTree::LeftShrank(ConfigurationData*& slot) noexcept
{
    ConfigurationData* node = slot;
    ++node->Balance;
    if (node->Balance == 0)
        return true;
    if (node->Balance == 1)
        return false;
    int heavy = node->Right->Balance;
    if (heavy == -1)
        RotateRight(node->Right);
    RotateLeft(slot);
    return heavy != 0;
}

bool PresetTree::RightShrank(ConfigurationData*& slot) noexcept
{
    ConfigurationData* node = slot;
    --node->Balance;
    if (node->Balance == 0)
        return true;
    if (node->Balance == -1)
        return false;
    int heavy = node->Left->Balance;
    if (heavy == 1)
        RotateLeft(node->Left);
    RotateRight(slot);
    return heavy != 0;
}

void PresetTree::Clear() noexcept
{
    Free(_root);
    _root = nullptr;
}

void PresetTree::Free(ConfigurationData* node) noexcept
{
    if (!node)
        return;
    Free(node->Left);
    Free(node->Right);
    delete node;
}

void PresetTree::Walk(Visitor visitor, void* context) const
{
    Walk(_root, visitor, context);
}

void PresetTree::Walk(const ConfigurationData* node, Visitor visitor, void* context)
{
    while (node) {
        Walk(node->Left, visitor, context);
        visitor(*node, context);
        node = node->Right;
    }
}

}  // namespace Configuration
