#include "cmdline.h"

#include <gtest/gtest.h>

using namespace zj;
using Words = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRules)
{
    struct Case {
        const char* line;
        Words words;
    };
    const Case cases[] = {
        {"", {}},
        {" \t ", {}},
        {"javac", {"javac"}},
        {"  C:\\jdk\\bin\\javac.exe   C:\\work\\Hello.java ", {"C:\\jdk\\bin\\javac.exe", "C:\\work\\Hello.java"}},
        {"javac\tA.java\t\tB.java", {"javac", "A.java", "B.java"}},
        // The program: quotes group, backslashes are plain characters.
        {"\"C:\\Program Files\\jdk\\javac.exe\" A.java", {"C:\\Program Files\\jdk\\javac.exe", "A.java"}},
        {"\"C:\\dir\\\" x", {"C:\\dir\\", "x"}},
        {"\"unterminated program", {"unterminated program"}},
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"C:\\Program Files\\javac.exe A.java", {"C:\\Program", "Files\\javac.exe", "A.java"}},
        // The arguments: the C runtime's quoting and backslashes.
        {"p \"file with blanks.java\"", {"p", "file with blanks.java"}},
        {"p a\"b c\"d", {"p", "ab cd"}},
        {"p \"\"", {"p", ""}},
        {"p \"\" \"\"", {"p", "", ""}},
        {"p \\\"quoted\\\"", {"p", "\"quoted\""}},
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},
        {"p C:\\dir\\ x", {"p", "C:\\dir\\", "x"}},
        {"p \"C:\\dir\\\\\" x", {"p", "C:\\dir\\", "x"}},
        {"p \"say \"\"hi\"\" now\"", {"p", "say \"hi\" now"}},
        {"p \"open to the end", {"p", "open to the end"}},
        {"p a\\b\\\\c", {"p", "a\\b\\\\c"}},
        {"p \"tab\there\"", {"p", "tab\there"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.words) << "[" << c.line << "]";
}

TEST(QuoteArgument, QuotesOnlyWhatNeedsItAndSplitsBackUnchanged)
{
    EXPECT_EQ(QuoteProgram("C:\\jdk\\bin\\javac.exe"), "C:\\jdk\\bin\\javac.exe");
    EXPECT_EQ(QuoteProgram("C:\\Program Files\\javac.exe"), "\"C:\\Program Files\\javac.exe\"");
    EXPECT_EQ(QuoteArgument("C:\\work\\Hello.java"), "C:\\work\\Hello.java");
    EXPECT_EQ(QuoteArgument("C:\\my work\\Hello.java"), "\"C:\\my work\\Hello.java\"");
    EXPECT_EQ(QuoteArgument(""), "\"\"");

    const char* programs[] = {"javac", "/usr/lib/jvm/bin/javac", "C:\\Program Files\\jdk\\javac.exe",
                              "/opt/my tools/javac", "C:\\dir\\", "tab\tname"};
    const char* arguments[] = {"Hello.java", "/home/me/my work/Hello.java", "", " ", "a\"b",
                               "say \"hi\"", "C:\\dir with blank\\", "C:\\dir\\", "\\\\server\\share x",
                               "back\\\\\"slash", "\"", "\\", "tab\there", "trailing\\\\ "};
    for (const char* program : programs)
        for (const char* argument : arguments) {
            const std::string line = QuoteProgram(program) + " " + QuoteArgument(argument) + " last";
            EXPECT_EQ(SplitCommandLine(line), (Words{program, argument, "last"})) << line;
        }
}
