#include "recovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace zj;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

TRecoveryCopy Sample()
{
    TRecoveryCopy copy;
    copy.FileName = "/home/u/Grüße\nline.java";
    copy.Caption = "Grüße\nline.java";
    copy.Untitled = false;
    copy.DocType = 0;
    copy.LineBreak = TLineBreak::Lf;
    copy.Stamp = {true, 1, 2, 3, -4, false};
    copy.Hash = 0xfedcba9876543210ull;
    copy.Pid = 4242;
    copy.Text = "class A {}\0\r\n\xff"s;
    return copy;
}

std::string Encode(const TRecoveryCopy& copy)
{
    std::string data = RecoveryCopyHeader(copy, copy.Text.size()) + copy.Text;
    FinishRecoveryCopy(data);
    return data;
}

class Recovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = fs::temp_directory_path() / ("zj_recovery_" + std::to_string(std::random_device{}()));
        fs::create_directories(path);
    }
    void TearDown() override { fs::remove_all(path); }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path path;
};

} // namespace

// A copy reads back as written; one cut short anywhere, with a byte changed,
// or of another kind does not.
TEST(RecoveryCopy, ReadsBackWholeOrNotAtAll)
{
    const TRecoveryCopy copy = Sample();
    const std::string data = Encode(copy);
    TRecoveryCopy back;
    ASSERT_TRUE(ParseRecoveryCopy(data, back));
    EXPECT_EQ(back.FileName, copy.FileName);
    EXPECT_EQ(back.Caption, copy.Caption);
    EXPECT_FALSE(back.Untitled);
    EXPECT_EQ(back.LineBreak, TLineBreak::Lf);
    EXPECT_TRUE(back.Stamp.Matches(copy.Stamp));
    EXPECT_EQ(back.Hash, copy.Hash);
    EXPECT_EQ(back.Pid, 4242);
    EXPECT_EQ(back.Text, copy.Text);

    for (std::size_t size = 0; size < data.size(); ++size)
        EXPECT_FALSE(ParseRecoveryCopy(data.substr(0, size), back)) << "cut to " << size;
    for (std::size_t at = 0; at < data.size(); ++at) {
        std::string changed = data;
        changed[at] ^= 0x20;
        EXPECT_FALSE(ParseRecoveryCopy(changed, back)) << "byte " << at;
    }
    for (const char* foreign :
         {"", "ZJRECOVERY1", "ZJRECOVERY1 1 1 0 0 0 0 0 0 0 0 0 0 99999999999999999999999\n",
          "ZJRECOVERY1 1 1 9 0 0 0 0 0 0 0 0 0 0\n\n0000000000000000\n", "REGEDIT4\r\n"})
        EXPECT_FALSE(ParseRecoveryCopy(foreign, back)) << foreign;
}

// The store writes its copies whole and removes them at a normal end; a
// second editor running meanwhile sees nothing to recover.
TEST_F(Recovery, ARunningEditorsCopiesAreLeftAlone)
{
    TPrivateFolder folder(path.string());
    auto store = std::make_unique<TRecoveryStore>(TPrivateFolder(path.string()));
    ASSERT_TRUE(store->Valid());
    int written = 0;
    store->Written = [&written](bool ok) { written += ok; };
    const TRecoveryCopy copy = Sample();
    const std::string data = RecoveryCopyHeader(copy, copy.Text.size()) + copy.Text;
    store->Write(store->NewNumber(), data);
    store->Write(store->NewNumber(), data);
    store->Remove(2);
    store->Wait();
    EXPECT_EQ(written, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"copy-" + store->Session() + "-1", "lock-" + store->Session()}));

    TRecoveryStore other{TPrivateFolder(path.string())};
    EXPECT_TRUE(TLeftCopies(folder, other.Session()).Copies.empty());
    EXPECT_EQ(TLeftCopies(folder, store->Session()).Copies.size(), 0u) << "nor its own";
    store.reset();
    EXPECT_EQ(Names(), (std::vector<std::string>{"lock-" + other.Session()}));
}

#ifndef _WIN32
// An editor that died: its copies are offered to one editor at a time, taken
// over or discarded; what cannot be read stays where it is.
TEST_F(Recovery, ADeadEditorsCopiesAreClaimedOnce)
{
    TPrivateFolder folder(path.string());
    std::string session;
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        TRecoveryStore* store = new TRecoveryStore(TPrivateFolder(path.string()));
        const TRecoveryCopy copy = Sample();
        for (int i = 0; i < 2; ++i) {
            store->Write(store->NewNumber(), RecoveryCopyHeader(copy, copy.Text.size()) + copy.Text);
        }
        store->Wait();
        (void)!::write(pipe[1], store->Session().data(), store->Session().size());
        ::_exit(0); // no normal end: the copies stay
    }
    ::close(pipe[1]);
    char buffer[64] = {};
    const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_GT(got, 0);
    session.assign(buffer, static_cast<std::size_t>(got));
    std::ofstream(path / ("copy-" + session + "-7")) << "damaged";
    fs::create_symlink("/etc/passwd", path / ("copy-" + session + "-8"));

    TRecoveryStore own{TPrivateFolder(path.string())};
    {
        TLeftCopies first(folder, own.Session());
        ASSERT_EQ(first.Copies.size(), 2u);
        EXPECT_EQ(first.Copies[0].Text, Sample().Text);
        EXPECT_TRUE(TLeftCopies(folder, "another").Copies.empty()) << "claimed by the first";
    }
    {
        TLeftCopies cancelled(folder, own.Session());
        EXPECT_EQ(cancelled.Copies.size(), 2u) << "released by the first";
        ASSERT_TRUE(cancelled.Adopt(0, own, own.NewNumber()));
        cancelled.Discard();
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"copy-" + own.Session() + "-1", "copy-" + session + "-7",
                                                 "copy-" + session + "-8", "lock-" + own.Session(),
                                                 "lock-" + session}));
    EXPECT_TRUE(TLeftCopies(folder, own.Session()).Copies.empty());
}
#endif

// A folder that cannot hold copies: writes fail and say so, nothing else.
TEST_F(Recovery, AFolderInTheWayWritesNothing)
{
    std::ofstream(path / "recovery") << "a file";
    TRecoveryStore store{TPrivateFolder((path / "recovery").string())};
    EXPECT_FALSE(store.Valid());
    bool told = false, ok = true;
    store.Written = [&](bool written) {
        told = true;
        ok = written;
    };
    store.Write(store.NewNumber(), "x");
    store.Wait();
    EXPECT_TRUE(told);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Names(), (std::vector<std::string>{"recovery"}));
}
