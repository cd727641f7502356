#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Configuration/PresetTree.h"
#include "Platform/Text.h"

namespace {

using Configuration::ConfigurationData;
using Configuration::PresetTree;

ConfigurationData* Named(const std::u16string& name)
{
    auto* record = new ConfigurationData();
    Platform::Text::Copy(record->PresetName, name);
    return record;
}

int Collect(const ConfigurationData& preset, void* context)
{
    static_cast<std::vector<std::u16string>*>(context)->push_back(preset.PresetName);
    return 0;
}

std::vector<std::u16string> Names(const PresetTree& tree)
{
    std::vector<std::u16string> names;
    tree.Walk(Collect, &names);
    return names;
}

// Checks order, balance factors and the AVL bound of every node; returns the height.
int CheckedHeight(const ConfigurationData* node, const char16_t* low, const char16_t* high)
{
    if (!node)
        return 0;
    if (low) {
        EXPECT_LT(Platform::Text::Compare(low, node->PresetName), 0);
    }
    if (high) {
        EXPECT_GT(Platform::Text::Compare(high, node->PresetName), 0);
    }
    int left = CheckedHeight(node->Left, low, node->PresetName);
    int right = CheckedHeight(node->Right, node->PresetName, high);
    EXPECT_EQ(node->Balance, right - left) << "at " << Platform::Text::Utf16ToUtf8(node->PresetName);
    EXPECT_LE(std::abs(right - left), 1);
    return 1 + std::max(left, right);
}

int Height(const PresetTree& tree)
{
    return CheckedHeight(tree.Root(), nullptr, nullptr);
}

TEST(PresetTree, WalksInOrdinalCaseSensitiveOrder)
{
    PresetTree tree;
    for (auto name : {u"b", u"a", u"c"})
        ASSERT_TRUE(tree.Insert(Named(name)));
    EXPECT_EQ(Names(tree), (std::vector<std::u16string>{u"a", u"b", u"c"}));

    // Upper case sorts before lower case; a prefix sorts before its extensions; units above
    // the surrogate range are compared as unsigned numbers.
    for (auto name : {u"B", u"ab", u"Rock", u"rock", u"\uFF21", u"\u00E9"})
        ASSERT_TRUE(tree.Insert(Named(name)));
    EXPECT_EQ(Names(tree),
              (std::vector<std::u16string>{u"B", u"Rock", u"a", u"ab", u"b", u"c", u"rock", u"\u00E9", u"\uFF21"}));
    Height(tree);
}

TEST(PresetTree, RefusesASecondRecordOfTheSameName)
{
    PresetTree tree;
    ConfigurationData* first = Named(u"Rock");
    ASSERT_TRUE(tree.Insert(first));
    ConfigurationData* second = Named(u"Rock");
    EXPECT_FALSE(tree.Insert(second));
    EXPECT_EQ(tree.Find(u"Rock"), first);
    delete second;
}

TEST(PresetTree, AscendingInsertsStayBalanced)
{
    PresetTree tree;
    for (char16_t c = u'1'; c <= u'7'; ++c)
        tree.Insert(Named(std::u16string(1, c)));
    EXPECT_EQ(Height(tree), 3);
    EXPECT_EQ(tree.Root()->PresetName, std::u16string(u"4"));

    PresetTree descending;
    for (char16_t c = u'7'; c >= u'1'; --c)
        descending.Insert(Named(std::u16string(1, c)));
    EXPECT_EQ(Height(descending), 3);
}

TEST(PresetTree, DeletesLeavesInnerNodesAndTheLastNode)
{
    PresetTree tree;
    for (auto name : {u"d", u"b", u"f", u"a", u"c", u"e", u"g"})
        tree.Insert(Named(name));
    // "b" has two children: its predecessor "a" takes its place.
    delete tree.Remove(u"b");
    EXPECT_EQ(Names(tree), (std::vector<std::u16string>{u"a", u"c", u"d", u"e", u"f", u"g"}));
    Height(tree);
    // The root, with two children.
    delete tree.Remove(u"d");
    EXPECT_EQ(Names(tree), (std::vector<std::u16string>{u"a", u"c", u"e", u"f", u"g"}));
    Height(tree);
    EXPECT_EQ(tree.Remove(u"zz"), nullptr);

    PresetTree single;
    single.Insert(Named(u"only"));
    delete single.Remove(u"only");
    EXPECT_TRUE(single.Empty());
    EXPECT_EQ(single.Find(u"only"), nullptr);
}

// Random inserts and deletes against a std::map: after every step the tree holds exactly the
// model's names, in order, with correct balance factors and the AVL height bound.
TEST(PresetTree, RandomOperationsMatchAModel)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        PresetTree tree;
        std::map<std::u16string, ConfigurationData*> model;
        std::uniform_int_distribution<int> pick(0, 199);
        for (int step = 0; step < 600; ++step) {
            std::u16string name = Platform::Text::Utf8ToUtf16("p" + std::to_string(pick(random)));
            if (random() % 3 != 0) {
                ConfigurationData* record = Named(name);
                bool inserted = tree.Insert(record);
                EXPECT_EQ(inserted, model.count(name) == 0);
                if (inserted)
                    model[name] = record;
                else
                    delete record;
            } else {
                ConfigurationData* removed = tree.Remove(name.c_str());
                auto at = model.find(name);
                EXPECT_EQ(removed, at == model.end() ? nullptr : at->second);
                if (at != model.end())
                    model.erase(at);
                delete removed;
            }
            int height = Height(tree);
            // AVL height bound: h <= 1.44 log2(n + 2).
            EXPECT_LE(height, 1.45 * std::log2(static_cast<double>(model.size()) + 2));
        }
        std::vector<std::u16string> expected;
        for (auto& [name, record] : model) {
            expected.push_back(name);
            EXPECT_EQ(tree.Find(name.c_str()), record);
        }
        EXPECT_EQ(Names(tree), expected);
        if (HasFailure())
            return;
    }
}

}  // namespace
