#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "shell/TrayMenu.h"

namespace
{
// The ids of the menu's items in order; a submenu is listed as its item
// count, negated, and a separator as 0.
std::vector<int> ReadItems(HMENU menu)
{
    std::vector<int> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
    {
        if (HMENU submenu = GetSubMenu(menu, i))
            items.push_back(-GetMenuItemCount(submenu));
        else
            items.push_back(static_cast<int>(GetMenuItemID(menu, i)));
    }
    return items;
}

TEST(TrayMenu, OffersWhatTheRunStateAllows)
{
    const std::vector<std::wstring> threeLanguages = {L"English", L"Deutsch", L"Français"};
    struct Case
    {
        const char* name;
        TrayMenuState state;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"idle", {false, false, false, false, threeLanguages},
         {kTrayStartTest, -3, kTrayCheckForUpdates, 0, kTrayExit}},
        {"running", {false, true, false, false, threeLanguages}, {kTrayStopTest, kTrayPauseTest, -3, 0, kTrayExit}},
        {"paused", {false, true, true, false, threeLanguages}, {kTrayStopTest, kTrayResumeTest, -3, 0, kTrayExit}},
        {"stopping", {true, true, false, false, threeLanguages}, {-3, 0, kTrayExit}},
        {"one language", {false, false, false, false, {L"English"}},
         {kTrayStartTest, kTrayCheckForUpdates, 0, kTrayExit}},
        // An update check or download: nothing that starts, checks or exits.
        {"updating", {false, false, false, true, threeLanguages}, {-3}},
        {"updating, one language", {false, false, false, true, {L"English"}}, {}},
    };
    for (const Case& test : cases)
    {
        HMENU menu = BuildTrayMenu(test.state);
        EXPECT_EQ(ReadItems(menu), test.expected) << test.name;
        DestroyMenu(menu);
    }
}

TEST(TrayMenu, LanguageItemsCarryTheirIndexAndName)
{
    HMENU menu = BuildTrayMenu({false, false, false, false, {L"English", L"Deutsch"}});
    HMENU languages = GetSubMenu(menu, 1);
    ASSERT_NE(languages, nullptr);
    wchar_t name[32] = {};
    GetMenuStringW(languages, 1, name, 32, MF_BYPOSITION);
    EXPECT_STREQ(name, L"Deutsch");
    EXPECT_EQ(GetMenuItemID(languages, 0), static_cast<UINT>(kTrayFirstLanguage));
    EXPECT_EQ(GetMenuItemID(languages, 1), static_cast<UINT>(kTrayFirstLanguage + 1));
    DestroyMenu(menu);
}
}
