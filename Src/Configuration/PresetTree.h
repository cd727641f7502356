#pragma once

#include "Configuration/ConfigurationData.h"

namespace Configuration {

// The presets, kept in a height-balanced (AVL) binary search tree keyed by PresetName. The
// records carry the links themselves (Left, Right, Balance = right height - left height), so
// a preset is one allocation. Names compare ordinally, unit by unit, with case. The tree owns
// every record linked into it and frees them all when destroyed.
class PresetTree {
public:
    using Visitor = int (*)(const ConfigurationData& preset, void* context);

    PresetTree() = default;
    ~PresetTree();
    PresetTree(const PresetTree&) = delete;
    PresetTree& operator=(const PresetTree&) = delete;

    ConfigurationData* Find(const char16_t* name) const noexcept;
    // Links a record (its links and balance are reset first) under its PresetName. Returns
    // false, leaving the record to the caller, when a preset of that name is already there.
    bool Insert(ConfigurationData* record) noexcept;
    // Unlinks the preset of that name and hands it to the caller (null if there is none).
    ConfigurationData* Remove(const char16_t* name) noexcept;
    // Frees every preset.
    void Clear() noexcept;
    // Calls the visitor for every preset in ascending name order; its result is ignored.
    void Walk(Visitor visitor, void* context) const;

    const ConfigurationData* Root() const noexcept { return _root; }
    bool Empty() const noexcept { return _root == nullptr; }

private:
    static bool Insert(ConfigurationData*& slot, ConfigurationData* record, bool& inserted) noexcept;
    static bool Remove(ConfigurationData*& slot, const char16_t* name, ConfigurationData*& removed) noexcept;
    static bool RemoveGreatest(ConfigurationData*& slot, ConfigurationData*& greatest) noexcept;
    static bool LeftShrank(ConfigurationData*& slot) noexcept;
    static bool RightShrank(ConfigurationData*& slot) noexcept;
    static void RotateLeft(ConfigurationData*& slot) noexcept;
    static void RotateRight(ConfigurationData*& slot) noexcept;
    static void Free(ConfigurationData* node) noexcept;
    static void Walk(const ConfigurationData* node, Visitor visitor, void* context);

    ConfigurationData* _root = nullptr;
};

}  // namespace Configuration
