#include "messagelist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zj;

namespace {

TMessageList ProgramList()
{
    return TMessageList(TMessageList::TSource::Program, [](const std::string& named) { return "/root/" + named; });
}

struct Expected {
    std::string file;
    int line;
    std::string text;
    int outputLine;
};

void ExpectMessages(const TMessageList& list, const std::vector<Expected>& expected)
{
    ASSERT_EQ(list.Messages().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("message " + std::to_string(i));
        const TCompilerMessage& m = list.Messages()[i];
        EXPECT_EQ(m.File, expected[i].file);
        EXPECT_EQ(m.Line, expected[i].line);
        EXPECT_EQ(m.Text, expected[i].text);
        EXPECT_EQ(m.FirstLine, expected[i].outputLine);
        EXPECT_EQ(m.LastLine, expected[i].outputLine);
    }
}

} // namespace

TEST(MessageList, StackTracesLeadToTheirSourceFiles)
{
    TMessageList list = ProgramList();
    list.Append("Result: 7\n"
                "Exception in thread \"main\" java.lang.ArithmeticException: / by zero\n"
                "\tat pkg.sub.Cls.divide(Cls.java:5)\n"
                "\tat pkg.sub.Cls$Inner.lambda$run$0(Cls.java:12)\n"
                "\tat java.base/java.lang.Thread.run(Thread.java:833)\n"
                "\tat app//Top.main(Top.java:3)\n"
                "\tat jdk.internal.reflect.NativeMethodAccessorImpl.invoke0(Native Method)\n"
                "\tat Gone.x(Unknown Source)\n"
                "\t... 2 more\n"
                "Caused by: java.io.IOException: disk\n"
                "\tat pkg.Io.read(Io.java:40)\n"
                "java.lang.IllegalStateException: printed\r\n"
                "\tat Top.print(Top.java:9)\r\n"
                "\tat Top.main(Top.java:4)\n"
                "plain output at Top.java:3 that is no frame\n"
                "    at not a frame(\n");
    list.Finish();
    const std::string zero = "java.lang.ArithmeticException: / by zero";
    ExpectMessages(list, {{"", 0, zero, 1},
                          {"/root/pkg/sub/Cls.java", 5, zero, 2},
                          {"/root/pkg/sub/Cls.java", 12, zero, 3},
                          {"/root/java/lang/Thread.java", 833, zero, 4},
                          {"/root/Top.java", 3, zero, 5},
                          {"", 0, "java.io.IOException: disk", 9},
                          {"/root/pkg/Io.java", 40, "java.io.IOException: disk", 10},
                          {"", 0, "java.lang.IllegalStateException: printed", 11},
                          {"/root/Top.java", 9, "java.lang.IllegalStateException: printed", 12},
                          {"/root/Top.java", 4, "java.lang.IllegalStateException: printed", 13}});
}

TEST(MessageList, StepsRoundTheMessagesItCanFollowAndFindsThemByLine)
{
    TMessageList list = ProgramList();
    list.Append("Exception in thread \"main\" java.lang.Error: x\n\tat A.a(A.java:1)\n\tat B.b(B.java:2)\n\tat C.c(C.java:3)\n");
    std::vector<int> taken;
    // B cannot be followed (a folder, a device...): stepping passes over it.
    auto follower = [&](const TMessageList& of) {
        return [&](int index) {
            if (of.Messages()[index].File == "/root/B.java")
                return false;
            taken.push_back(index);
            return true;
        };
    };
    auto follow = follower(list);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(list.Step(1, follow));
    EXPECT_EQ(taken, (std::vector<int>{1, 3, 1}));
    EXPECT_TRUE(list.Step(-1, follow));
    EXPECT_EQ(list.Current(), 3);

    TMessageList back = ProgramList();
    back.Append("Exception in thread \"main\" java.lang.Error: x\n\tat A.a(A.java:1)\n\tat C.c(C.java:3)\n");
    taken.clear();
    EXPECT_TRUE(back.Step(-1, follower(back)));
    EXPECT_EQ(taken, (std::vector<int>{2})) << "Previous starts at the last one";
    EXPECT_FALSE(back.Step(1, [](int) { return false; }));
    EXPECT_EQ(back.Current(), 2);

    EXPECT_EQ(list.MessageAtLine(0), 0);
    EXPECT_EQ(list.MessageAtLine(2), 2);
    EXPECT_EQ(list.MessageAtLine(4), -1);
    EXPECT_TRUE(list.AnyLocated());
}

TEST(MessageList, HostileOutputKeepsItsLineNumbers)
{
    // Invalid UTF-8, NUL bytes and 10 MB on one line, in pieces: the message
    // after them is on the right line, its text cut to a readable size.
    TMessageList list(TMessageList::TSource::Compiler, [](const std::string& named) { return named; });
    list.Append(std::string("\xFF\xFE\0bad\n", 7));
    const std::string chunk(1u << 20, 'x');
    list.Append("A.java:1: error: ");
    for (int i = 0; i < 10; ++i)
        list.Append(chunk);
    list.Append("\r");
    list.Append("\nB.java:2: error: after\n");
    list.Finish();
    ASSERT_EQ(list.Messages().size(), 2u);
    EXPECT_EQ(list.Messages()[0].FirstLine, 1);
    EXPECT_LT(list.Messages()[0].Text.size(), 1000u);
    EXPECT_EQ(list.Messages()[1].File, "B.java");
    EXPECT_EQ(list.Messages()[1].FirstLine, 2);
}
