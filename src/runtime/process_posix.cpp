#include "process.h"

#include "eintr.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_set>

#ifdef __linux__
#include <sys/prctl.h>
#endif

extern char** environ;

namespace zj {

namespace {

// Reaping: every child gets a detached thread blocked in waitpid on its pid
// alone, or its starter collects it. A SIGCHLD handler would take exit
// statuses from other code that waits for its own children (waitpid(-1)
// reaps anything), and a list reaped at the next start would leave a child
// that outlives the last run a zombie until the editor exits. Only when no
// thread can be made does the pid go to that list.
std::mutex PendingLock;
std::vector<pid_t> Pending;

// The children someone collects by their pid: the orphan reaper leaves
// them alone. The lock is held across the spawn itself, so that no child
// can end before it is listed. Never destroyed: the reaper waits on it to
// the end.
struct TChildren {
    std::mutex Lock;
    std::unordered_set<pid_t> Waited;
    std::condition_variable Started;
    std::uint64_t Starts = 0;
    bool Subreaper = false;
};

TChildren& Children()
{
    static TChildren* children = new TChildren;
    return *children;
}

void ReapPending()
{
    std::lock_guard lock(PendingLock);
    std::erase_if(Pending, [](pid_t pid) {
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        return r == pid || (r < 0 && errno == ECHILD);
    });
}

void Collected(pid_t pid)
{
    TChildren& children = Children();
    std::lock_guard lock(children.Lock);
    children.Waited.erase(pid);
}

// Orphans handed to the editor end as its children: collect each one whose
// pid nobody waits for. waitid leaves the ended child in place, so that one
// collected elsewhere is only looked at.
[[noreturn]] void ReapOrphans()
{
    TChildren& children = Children();
    for (;;) {
        std::unique_lock lock(children.Lock);
        const std::uint64_t seen = children.Starts;
        lock.unlock();
        siginfo_t info{};
        if (waitid(P_ALL, 0, &info, WEXITED | WNOWAIT) != 0) {
            if (errno == ECHILD) {
                // No child, so no descendant either until the next start.
                lock.lock();
                children.Started.wait(lock, [&] { return children.Starts != seen; });
            }
            continue;
        }
        lock.lock();
        if (!children.Waited.contains(info.si_pid)) {
            int status;
            waitpid(info.si_pid, &status, WNOHANG);
            continue;
        }
        lock.unlock();
        // Its own waiter takes it in a moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

void ReapWhenDone(pid_t pid)
{
    try {
        std::thread([pid] {
            int status;
            RetryOnEintr([&] { return waitpid(pid, &status, 0); });
            Collected(pid);
        }).detach();
    } catch (const std::system_error&) {
        Collected(pid);
        std::lock_guard lock(PendingLock);
        Pending.push_back(pid);
    }
}

bool CollectIfEnded(pid_t pid, int& status)
{
    const pid_t r = RetryOnEintr([&] { return waitpid(pid, &status, WNOHANG); });
    if (r != pid)
        return false;
    Collected(pid);
    return true;
}

void BecomeSubreaper()
{
#ifdef __linux__
    TChildren& children = Children();
    std::lock_guard lock(children.Lock);
    if (children.Subreaper || prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
        return;
    try {
        std::thread(ReapOrphans).detach();
        children.Subreaper = true;
    } catch (const std::system_error&) {
        // Without a reaper the orphans would stay zombies.
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
#endif
}

namespace {

class SpawnSettings {
public:
    SpawnSettings()
    {
        posix_spawnattr_init(&attr_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSettings()
    {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attr_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    int Prepare(const TSpawnSetup& setup)
    {
        sigset_t none, pipeOnly;
        sigemptyset(&none);
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        int rc = posix_spawnattr_setsigmask(&attr_, &none);
        if (rc == 0)
            rc = posix_spawnattr_setsigdefault(&attr_, &pipeOnly);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (setup.OwnGroup) {
            flags |= POSIX_SPAWN_SETPGROUP;
            if (rc == 0)
                rc = posix_spawnattr_setpgroup(&attr_, 0);
        }
        if (rc == 0)
            rc = posix_spawnattr_setflags(&attr_, flags);
        // The standard descriptors are above 2 (made so by their owner), so
        // no dup2 overwrites another one's source.
        for (int fd = 0; fd < 3 && rc == 0; ++fd)
            if (setup.Std[fd] >= 0)
                rc = posix_spawn_file_actions_adddup2(&actions_, setup.Std[fd], fd);
        if (rc == 0 && !setup.Folder.empty())
            rc = posix_spawn_file_actions_addchdir_np(&actions_, setup.Folder.c_str());
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // A descriptor some library opened without close-on-exec must not keep
        // a pipe of ours, or anything else, open in the child.
        if (rc == 0)
            rc = posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
#endif
        return rc;
    }

    posix_spawnattr_t* Attr() { return &attr_; }
    posix_spawn_file_actions_t* Actions() { return &actions_; }

private:
    posix_spawnattr_t attr_;
    posix_spawn_file_actions_t actions_;
};

} // namespace

int Spawn(const std::vector<std::string>& args, const TSpawnSetup& setup, pid_t& pid)
{
    ReapPending();
    if (args.empty() || args[0].empty())
        return ENOENT;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> env;
    if (!setup.Environment.empty()) {
        for (char** entry = environ; *entry; ++entry)
            env.push_back(*entry);
        for (const std::string& entry : setup.Environment)
            env.push_back(const_cast<char*>(entry.c_str()));
        env.push_back(nullptr);
    }

    SpawnSettings settings;
    int rc = settings.Prepare(setup);
    if (rc != 0)
        return rc;
    TChildren& children = Children();
    std::lock_guard lock(children.Lock);
    // glibc reports a failing exec (missing program, no permission) here,
    // synchronously, and collects the failed child itself.
    rc = posix_spawnp(&pid, argv[0], settings.Actions(), settings.Attr(), argv.data(),
                      env.empty() ? environ : env.data());
    if (rc == 0) {
        children.Waited.insert(pid);
        ++children.Starts;
        children.Started.notify_all();
    }
    return rc;
}

int SpawnDetached(const std::vector<std::string>& args, pid_t* pid)
{
    pid_t child = -1;
    int rc = Spawn(args, TSpawnSetup{}, child);
    if (rc != 0)
        return rc;
    ReapWhenDone(child);
    if (pid)
        *pid = child;
    return 0;
}

bool OpenClosedStdStreams()
{
    bool ok = true;
    // In ascending order: open hands out the lowest free number, which is
    // then the closed one.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int opened = open("/dev/null", O_RDWR);
        if (opened < 0) {
            ok = false;
        } else if (opened != fd) {
            ok = dup2(opened, fd) == fd && ok;
            close(opened);
        }
    }
    return ok;
}

} // namespace zj
