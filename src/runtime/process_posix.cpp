#include "process.h"

#include "eintr.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zj {

namespace {

// Reaping: every child gets a detached thread blocked in waitpid on its pid
// alone. A SIGCHLD handler would take exit statuses from other code that waits
// for its own children (waitpid(-1) reaps anything), and a list reaped at the
// next start would leave a child that outlives the last run a zombie until the
// editor exits. Only when no thread can be made does the pid go to that list.
std::mutex PendingLock;
std::vector<pid_t> Pending;

void ReapPending()
{
    std::lock_guard lock(PendingLock);
    std::erase_if(Pending, [](pid_t pid) {
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        return r == pid || (r < 0 && errno == ECHILD);
    });
}

} // namespace

void ReapWhenDone(pid_t pid)
{
    try {
        std::thread([pid] {
            int status;
            RetryOnEintr([&] { return waitpid(pid, &status, 0); });
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(PendingLock);
        Pending.push_back(pid);
    }
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

    int Prepare(bool ownGroup)
    {
        sigset_t none, pipeOnly;
        sigemptyset(&none);
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        int rc = posix_spawnattr_setsigmask(&attr_, &none);
        if (rc == 0)
            rc = posix_spawnattr_setsigdefault(&attr_, &pipeOnly);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (ownGroup) {
            flags |= POSIX_SPAWN_SETPGROUP;
            if (rc == 0)
                rc = posix_spawnattr_setpgroup(&attr_, 0);
        }
        if (rc == 0)
            rc = posix_spawnattr_setflags(&attr_, flags);
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

int Spawn(const std::vector<std::string>& args, bool ownGroup, pid_t& pid)
{
    ReapPending();
    if (args.empty() || args[0].empty())
        return ENOENT;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    SpawnSettings settings;
    int rc = settings.Prepare(ownGroup);
    if (rc != 0)
        return rc;
    // glibc reports a failing exec (missing program, no permission) here,
    // synchronously, and collects the failed child itself.
    return posix_spawnp(&pid, argv[0], settings.Actions(), settings.Attr(), argv.data(), environ);
}

int SpawnDetached(const std::vector<std::string>& args, pid_t* pid)
{
    pid_t child = -1;
    int rc = Spawn(args, false, child);
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
