#include "exceptions.h"
#include "format.h"

#include <gtest/gtest.h>

#include <string>

using namespace zj;

TEST(Format, FillsTheOneStringArgument)
{
    const char* cases[][3] = {
        {"C:\\Browser\\browser.exe %s", "C:\\work\\page.html", "C:\\Browser\\browser.exe C:\\work\\page.html"},
        {"\"b.exe\" \"%S\"", "my page.html", "\"b.exe\" \"my page.html\""},
        {"100%% %s %%1", "x", "100% x %1"},
        {"b %s", "%d %1 %% %s", "b %d %1 %% %s"},
        {"[%5s]", "ab", "[   ab]"},
        {"[%-4.1s]", "ab", "[a   ]"},
        {"b %0:s %0:s", "x", "b x x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format(c[0], c[1]), c[2]) << c[0];
    EXPECT_EQ(Format("[%-4096.4096s]", "ab"), "[ab" + std::string(4094, ' ') + "]");
}

TEST(Format, WhatCannotBeFilledRaisesTheConvertError)
{
    const char* missing[] = {"b \"%s\" \"%1\"", "b %s %s", "b %s %d", "b %1:s", "b %s %*s"};
    // Widths and precisions stop at 4096, so a format cannot demand gigabytes.
    const char* invalid[] = {"b %d", "b %x %s", "b %*s", "b %s %1", "b %", "b %2000000000s", "b %4097s",
                             "b %-4097s", "b %.4097s", "b %0:4097s"};
    for (const char* format : missing) {
        try {
            Format(format, "f");
            ADD_FAILURE() << "no error for " << format;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.what(), "No argument for format '" + std::string(format) + "'");
        }
    }
    for (const char* format : invalid) {
        try {
            Format(format, "f");
            ADD_FAILURE() << "no error for " << format;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.what(), "Format '" + std::string(format) + "' invalid or incompatible with argument");
        }
    }
}
