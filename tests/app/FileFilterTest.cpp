#include <gtest/gtest.h>

#include "dialogs/UserPrompts.h"

TEST(FileFilter, WindowsFilterBecomesQtFilter)
{
    const struct {
        const char* windows;
        const char* qt;
    } cases[] = {
        {"Configuration Files (*.cfg)|*.cfg||", "Configuration Files (*.cfg)"},
        {"Weirlink Software Files (*.bin)|*.bin||", "Weirlink Software Files (*.bin)"},
        {"Images|*.png;*.jpg|All Files (*.*)|*.*||", "Images (*.png *.jpg);;All Files (*.*)"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ToQtFileFilter(c.windows), c.qt) << c.windows;
}
