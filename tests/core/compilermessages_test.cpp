#include "compilermessages.h"
#include "job.h"
#include "messagelist.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <tuple>
#include <string>
#include <thread>
#include <vector>

using namespace zj;
namespace fs = std::filesystem;

namespace {

// javac's output for typical mistakes, made once with the machine's javac in
// the folder of the sources, and kept beside them.
const fs::path Fixtures = fs::path(JAVAC_FIXTURES);

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Expected {
    TMessageKind kind;
    std::string file;
    int line;
    int column;
    std::string text;
    int firstLine;
    int lastLine;
};

using K = TMessageKind;

void ExpectMessages(const std::vector<TCompilerMessage>& messages, const std::vector<Expected>& expected)
{
    ASSERT_EQ(messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("message " + std::to_string(i));
        const TCompilerMessage& m = messages[i];
        const Expected& e = expected[i];
        EXPECT_EQ(m.Kind, e.kind);
        EXPECT_EQ(m.File, e.file);
        EXPECT_EQ(m.Line, e.line);
        EXPECT_EQ(m.Column, e.column);
        EXPECT_EQ(m.Text, e.text);
        EXPECT_EQ(m.FirstLine, e.firstLine);
        EXPECT_EQ(m.LastLine, e.lastLine);
    }
}

struct Fixture {
    const char* output;
    std::vector<Expected> messages;
};

const std::vector<Fixture>& JavacFixtures()
{
    static const std::vector<Fixture> fixtures = {
        {"Semicolon.out", {{K::Error, "Semicolon.java", 3, 18, "';' expected", 0, 2}}},
        {"Learner.out",
         {{K::Error, "Learner.java", 5, 9, "cannot find symbol\n  symbol:   class Strin\n  location: class Learner", 0, 4},
          {K::Error, "Learner.java", 6, 21, "incompatible types: String cannot be converted to int", 5, 7},
          {K::Error, "Learner.java", 7, 19,
           "cannot find symbol\n  symbol:   method printn(int)\n  location: variable out of type PrintStream", 8, 12},
          {K::Error, "Learner.java", 17, 14, "incompatible types: String cannot be converted to int", 13, 15},
          {K::Note, "", 0, 0, "Some messages have been simplified; recompile with -Xdiags:verbose to get full output",
           16, 16}}},
        {"Wrong.out",
         {{K::Error, "Wrong.java", 1, 8, "class Right is public, should be declared in a file named Right.java", 0, 2}}},
        {"Flow.out",
         {{K::Error, "Flow.java", 6, 5, "missing return statement", 0, 2},
          {K::Error, "Flow.java", 11, 9, "unreachable statement", 3, 5},
          {K::Error, "Flow.java", 16, 13, "unreachable statement", 6, 8}}},
        // A tab before the caret counts as one character, as in the source.
        {"Umlauts.out",
         {{K::Error, "my dir/Ärger ünd Öl/Grüße.java", 3, 25, "incompatible types: int cannot be converted to String", 0,
           2},
          {K::Error, "my dir/Ärger ünd Öl/Grüße.java", 4, 10,
           "cannot find symbol\n  symbol:   variable undefiniert\n  location: class Grüße", 3, 7}}},
        {"Old.out",
         {{K::Note, "", 0, 0, "Old.java uses or overrides a deprecated API.", 0, 0},
          {K::Note, "", 0, 0, "Recompile with -Xlint:deprecation for details.", 1, 1},
          {K::Note, "", 0, 0, "Old.java uses unchecked or unsafe operations.", 2, 2},
          {K::Note, "", 0, 0, "Recompile with -Xlint:unchecked for details.", 3, 3}}},
        {"OldLint.out",
         {{K::Warning, "Old.java", 5, 18, "[deprecation] Date(int,int,int) in Date has been deprecated", 0, 2},
          {K::Warning, "Old.java", 6, 9,
           "[rawtypes] found raw type: List\n  missing type arguments for generic class List<E>\n  where E is a "
           "type-variable:\n    E extends Object declared in interface List",
           3, 8},
          {K::Warning, "Old.java", 6, 24,
           "[rawtypes] found raw type: ArrayList\n  missing type arguments for generic class ArrayList<E>\n  where E is "
           "a type-variable:\n    E extends Object declared in class ArrayList",
           9, 14},
          {K::Warning, "Old.java", 7, 16,
           "[unchecked] unchecked call to add(E) as a member of the raw type List\n  where E is a type-variable:\n    E "
           "extends Object declared in interface List",
           15, 19}}},
    };
    return fixtures;
}

} // namespace

TEST(CompilerMessages, JavacOutputForTypicalMistakes)
{
    for (const Fixture& fixture : JavacFixtures()) {
        SCOPED_TRACE(fixture.output);
        ExpectMessages(ParseCompilerOutput(Read(Fixtures / fixture.output)), fixture.messages);
    }
}

TEST(CompilerMessages, OtherFormsAndLineBreaks)
{
    struct Case {
        std::string output;
        std::vector<Expected> messages;
    };
    const Case cases[] = {
        // The common file:line:column form; the column given wins over a caret.
        {"src/a.c:12:5: warning: unused variable 'x'\n    int x;\n        ^\n",
         {{K::Warning, "src/a.c", 12, 5, "unused variable 'x'", 0, 2}}},
        {"b.c:3:1: fatal error: no.h: No such file\n", {{K::Error, "b.c", 3, 1, "no.h: No such file", 0, 0}}},
        // Drive letters, blanks and colons in the name.
        {"C:\\My Work\\A:1.java:7: error: x\r\n", {{K::Error, "C:\\My Work\\A:1.java", 7, 0, "x", 0, 0}}},
        // CR LF, LF and a lone CR each end one line, as the output window counts them.
        {"x\r\ny\rA.java:2: error: one\r\n  detail\rB.java:9: note: two\n",
         {{K::Error, "A.java", 2, 0, "one\n  detail", 2, 3}, {K::Note, "B.java", 9, 0, "two", 4, 4}}},
        // A quoted source line that looks like a message is the source line.
        {"A.java:4: error: ';' expected\n  s = \"B.java:1: error: x\"\n                          ^\n",
         {{K::Error, "A.java", 4, 27, "';' expected", 0, 2}}},
        // Summaries and blank lines end a message; lines after them are nobody's.
        {"A.java:1: error: a\n1 error\nstray\n\nA.java:2: warning: b\n\nstray\n",
         {{K::Error, "A.java", 1, 0, "a", 0, 0}, {K::Warning, "A.java", 2, 0, "b", 4, 4}}},
        {"error: file not found: X.java\nUsage: javac <options> <source files>\n",
         {{K::Error, "", 0, 0, "file not found: X.java\nUsage: javac <options> <source files>", 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        ExpectMessages(ParseCompilerOutput(c.output), c.messages);
    }
}

TEST(CompilerMessages, OutputArrivingInPiecesGivesTheSameMessages)
{
    // Cut anywhere, a CR LF between two pieces included; names made full
    // once each.
    std::vector<std::string> outputs;
    for (const Fixture& fixture : JavacFixtures())
        outputs.push_back(Read(Fixtures / fixture.output));
    outputs.push_back("x\r\ny\rA.java:2: error: one\r\n  detail\rB.java:9: note: two\n\r\nA.java:3: error: last");
    std::mt19937 random(7);
    for (const std::string& output : outputs) {
        SCOPED_TRACE(output.substr(0, 40));
        std::vector<TCompilerMessage> expected = ParseCompilerOutput(output);
        int resolved = 0;
        TMessageList list(TMessageList::TSource::Compiler, [&](const std::string& named) {
            ++resolved;
            return "/full/" + named;
        });
        for (std::size_t pos = 0; pos < output.size();) {
            const std::size_t size = std::min<std::size_t>(random() % 7, output.size() - pos);
            list.Append(std::string_view(output).substr(pos, size));
            pos += size;
        }
        list.Finish();
        std::set<std::string> names;
        for (TCompilerMessage& m : expected)
            if (!m.File.empty()) {
                names.insert(m.File);
                m.File = "/full/" + m.File;
            }
        ASSERT_EQ(list.Messages().size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const TCompilerMessage& m = list.Messages()[i];
            EXPECT_EQ(std::tie(m.File, m.Line, m.Column, m.Text, m.FirstLine, m.LastLine),
                      std::tie(expected[i].File, expected[i].Line, expected[i].Column, expected[i].Text,
                               expected[i].FirstLine, expected[i].LastLine));
        }
        EXPECT_EQ(resolved, static_cast<int>(names.size()));
    }
}

TEST(CompilerMessages, WhatIsNotAMessageIsLeftOut)
{
    const std::string outputs[] = {
        "",
        "A.java:0: error: line zero\n",
        "A.java:1234567890: error: too long a number\n",
        ":3: error: no file\n",
        "A.java:3: mistake: unknown kind\n",
        "A.java:3:error: no blank\n",
        "A.java:x: error: no number\n",
        "Exception in thread \"main\" java.lang.Error\n\tat A.main(A.java:3)\n",
        std::string("A.java:3\0: error: NUL\n", 23),
    };
    for (const std::string& output : outputs)
        EXPECT_TRUE(ParseCompilerOutput(output).empty()) << output;
}

TEST(CompilerMessages, AnyInputEndsWithBoundedMessages)
{
    // Random bytes, with the characters of messages made common.
    std::mt19937 random(13);
    const char alphabet[] = "A.java:12: error warning note ^\t\r\n\0\xC3\xA4";
    std::string noise(4u << 20, '\0');
    for (char& c : noise)
        c = random() % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % (sizeof alphabet - 1)];
    for (const TCompilerMessage& m : ParseCompilerOutput(noise)) {
        EXPECT_LE(m.FirstLine, m.LastLine);
        EXPECT_GE(m.Line, 0);
        EXPECT_LE(m.Text.size(), 70000u);
    }

    // One message line of 50 MB, and more messages than are kept.
    std::string huge = "A.java:1: error: " + std::string(50u << 20, 'x') + "\n";
    std::vector<TCompilerMessage> one = ParseCompilerOutput(huge);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_LT(one[0].Text.size(), 1000u);
    std::string many;
    for (std::size_t i = 0; i < MaxMessages + 10; ++i)
        many += "A.java:" + std::to_string(i + 1) + ": error: x\n";
    std::vector<TCompilerMessage> kept = ParseCompilerOutput(many);
    ASSERT_EQ(kept.size(), MaxMessages);
    EXPECT_EQ(kept.back().Line, static_cast<int>(MaxMessages));
}

#ifndef _WIN32

TEST(CompilerMessages, TheMachinesJavacStillWritesWhatTheFixturesHold)
{
    const char* javac = "/usr/bin/javac";
    if (!fs::exists(javac))
        GTEST_SKIP() << "no javac on this machine";
    const fs::path classes = fs::temp_directory_path() / ("zj_javac_" + std::to_string(::getpid()));
    struct Source {
        const char* output;
        const char* file;
    };
    const Source sources[] = {{"Semicolon.out", "Semicolon.java"}, {"Learner.out", "Learner.java"},
                              {"Wrong.out", "Wrong.java"},         {"Flow.out", "Flow.java"},
                              {"Umlauts.out", "my dir/Ärger ünd Öl/Grüße.java"}};
    for (const Source& source : sources) {
        SCOPED_TRACE(source.file);
        const std::string file = (Fixtures / source.file).string();
        TJob run(javac, {"-d", classes.string(), file}, {});
        std::vector<TJobPiece> pieces;
        std::string output;
        while (!run.Finished()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            run.Take(pieces);
        }
        for (const TJobPiece& piece : pieces)
            output += piece.Bytes;
        EXPECT_EQ(run.End().Code, 1);
        // The sources were compiled by their relative names.
        std::vector<TCompilerMessage> messages = ParseCompilerOutput(output);
        for (TCompilerMessage& m : messages)
            if (m.File == file)
                m.File = source.file;
        for (const Fixture& fixture : JavacFixtures())
            if (std::string(fixture.output) == source.output)
                ExpectMessages(messages, fixture.messages);
    }
    fs::remove_all(classes);
}

#endif
