// Which key codes become the hot keys and the paste key, on layouts described by hand.
#include "login/HotKeyTable.h"

#include <QMap>

#include <gtest/gtest.h>

using namespace quorly;

namespace {

// Groups of key code -> character; the current group is chosen per test.
class TableTranslator : public KeyCodeTranslator {
public:
    QList<QMap<int, QString>> groups;
    int current = 0;
    int minKeyCode() const override { return 8; }
    int maxKeyCode() const override { return 255; }
    int groupCount() const override { return int(groups.size()); }
    int currentGroup() const override { return current; }
    QString translateKeyCode(int code, int group) const override { return groups.value(group).value(code); }
};

constexpr int kCmdCtrl = HotKeyModifier::Command | HotKeyModifier::Control;

TEST(HotKeyTable, OneOrTwoKeyCodesPerCharacter)
{
    TableTranslator layout;
    // "u" on one key; "p" on three (only the two lowest are kept); "v" on two.
    layout.groups = {{{30, "u"}, {33, "p"}, {200, "p"}, {210, "p"}, {55, "v"}, {250, "v"}, {9, "x"}}};
    const HotKeyTable table = findHotKeyCodes(&layout, "u", kCmdCtrl, "p", HotKeyModifier::Option);
    EXPECT_EQ(table.pasteCode, 55);
    EXPECT_EQ(table.grabs(), (QList<HotKeyGrab>{{1, 30, kCmdCtrl},
                                                {3, 33, HotKeyModifier::Option},
                                                {4, 200, HotKeyModifier::Option}}));

    // Both hot keys on one character share its key; two keys give htk1 and htk2.
    layout.groups = {{{30, "u"}, {130, "u"}}};
    EXPECT_EQ(findHotKeyCodes(&layout, "u", kCmdCtrl, "u", kCmdCtrl).grabs(),
              (QList<HotKeyGrab>{{1, 30, kCmdCtrl}, {2, 130, kCmdCtrl}, {3, 30, kCmdCtrl}, {4, 130, kCmdCtrl}}));
}

TEST(HotKeyTable, UnproducibleCharactersRegisterNothing)
{
    TableTranslator layout;
    layout.groups = {{{30, "u"}, {33, "p"}, {55, "v"}}};
    // Compared exactly: an upper-case letter, two characters, or nothing match no key.
    for (const QString& key : {QStringLiteral("U"), QStringLiteral("up"), QString(), QStringLiteral("\u00e9")}) {
        const HotKeyTable table = findHotKeyCodes(&layout, key, kCmdCtrl, key, kCmdCtrl);
        EXPECT_TRUE(table.grabs().isEmpty()) << key.toStdString();
        EXPECT_EQ(table.pasteCode, 55);
    }
    EXPECT_TRUE(findHotKeyCodes(nullptr, "u", kCmdCtrl, "p", kCmdCtrl).grabs().isEmpty());
}

TEST(HotKeyTable, CurrentGroupDecidesAndPasteFallsBackToAnotherGroup)
{
    TableTranslator layout;
    // A Russian layout in front of a US one: its "u" key yields "г", no key yields "v".
    layout.groups = {{{30, "u"}, {55, "v"}}, {{30, "\u0433"}, {55, "\u043c"}}};
    layout.current = 1;
    const HotKeyTable table = findHotKeyCodes(&layout, "u", kCmdCtrl, "\u0433", kCmdCtrl);
    EXPECT_EQ(table.grabs(), (QList<HotKeyGrab>{{3, 30, kCmdCtrl}}));
    EXPECT_EQ(table.pasteCode, 55);
    layout.groups = {{{30, "u"}}};
    EXPECT_EQ(findHotKeyCodes(&layout, "u", kCmdCtrl, "p", kCmdCtrl).pasteCode, -1);
}

TEST(HotKeyTable, DescribedForTheUser)
{
    EXPECT_EQ(describeHotKey("u", kCmdCtrl), "Super+Ctrl+U");
    EXPECT_EQ(describeHotKey("p", HotKeyModifier::Option | HotKeyModifier::Shift), "Alt+Shift+P");
}

}  // namespace
