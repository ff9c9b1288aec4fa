#include "job_backend.h"

#include "dosprocess.h"
#include "eintr.h"
#include "process.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zj::jobbackend {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::size_t ReadSize = 64u << 10;

// Every descendant of a job carries this in its environment, also one that
// left the job's process group or session: once its parent has gone, the
// editor (their reaper) finds it among its own children by it.
std::string NewMarker()
{
    static std::atomic<unsigned> serial{0};
    return "ZJEDIT_JOB=" + std::to_string(getpid()) + "." + std::to_string(++serial);
}

// Above the standard descriptors, so that handing the child its 0, 1 and 2
// never overwrites one of them.
bool AboveStd(int& fd)
{
    if (fd > 2)
        return true;
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    fd = high;
    return high >= 0;
}

bool MakePipe(int& readEnd, int& writeEnd)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    if (!AboveStd(fds[0]) || !AboveStd(fds[1])) {
        if (fds[0] >= 0)
            close(fds[0]);
        if (fds[1] >= 0)
            close(fds[1]);
        return false;
    }
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

void NoWait(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

struct TProc {
    pid_t Pid;
    pid_t Parent;
    pid_t Group;
    bool Gone;
};

std::vector<TProc> ProcessTable()
{
    std::vector<TProc> table;
    DIR* proc = opendir("/proc");
    if (!proc)
        return table;
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end)
            continue;
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // The name in parentheses may hold anything; the fields follow its end.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size())
            continue;
        char state = 0;
        long parent = 0, group = 0;
        if (std::sscanf(line.c_str() + close + 2, "%c %ld %ld", &state, &parent, &group) != 3)
            continue;
        table.push_back({static_cast<pid_t>(pid), static_cast<pid_t>(parent), static_cast<pid_t>(group),
                         state == 'Z' || state == 'X'});
    }
    closedir(proc);
    return table;
}

bool Carries(pid_t pid, const std::string& marker)
{
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    for (std::string entry; std::getline(environ, entry, '\0');)
        if (entry == marker)
            return true;
    return false;
}

// The live processes of the job: the child while it lives, its process group,
// the editor's children that carry the marker, and every descendant of these.
std::vector<pid_t> Members(pid_t child, bool childCollected, const std::string& marker)
{
    const std::vector<TProc> table = ProcessTable();
    const pid_t self = getpid();
    std::multimap<pid_t, pid_t> children;
    std::vector<pid_t> pending;
    for (const TProc& p : table) {
        children.emplace(p.Parent, p.Pid);
        if (p.Pid == self)
            continue;
        if ((p.Pid == child && !childCollected) || p.Group == child || (p.Parent == self && Carries(p.Pid, marker)))
            pending.push_back(p.Pid);
    }
    std::map<pid_t, bool> gone;
    for (const TProc& p : table)
        gone[p.Pid] = p.Gone;
    std::vector<pid_t> members;
    std::map<pid_t, bool> seen;
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        if (seen[pid] || pid == self)
            continue;
        seen[pid] = true;
        if (!gone[pid])
            members.push_back(pid);
        const auto [first, last] = children.equal_range(pid);
        for (auto it = first; it != last; ++it)
            pending.push_back(it->second);
    }
    return members;
}

class TPosixProcess final : public TProcess {
public:
    TPosixProcess(TJob::TState& state, pid_t pid, int out, int err, int in, std::string marker)
        : state_(state), pid_(pid), out_(out), err_(err), in_(in), marker_(std::move(marker))
    {
        if (!MakePipe(wakeRead_, wakeWrite_))
            throw std::system_error(errno, std::generic_category());
        NoWait(wakeRead_);
        NoWait(wakeWrite_);
#ifdef SYS_pidfd_open
        pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (pidfd_ >= 0)
            fcntl(pidfd_, F_SETFD, FD_CLOEXEC);
#endif
        try {
            thread_ = std::thread([this] { Serve(); });
        } catch (const std::system_error&) {
            CloseFd(pidfd_);
            CloseFd(wakeRead_);
            CloseFd(wakeWrite_);
            throw;
        }
    }

    ~TPosixProcess() override
    {
        Poke();
        if (thread_.joinable())
            thread_.join();
        CloseFd(out_);
        CloseFd(err_);
        CloseFd(in_);
        CloseFd(pidfd_);
        CloseFd(wakeRead_);
        CloseFd(wakeWrite_);
    }

    void Poke() override
    {
        const char byte = 0;
        // A full pipe wakes the thread as well.
        if (write(wakeWrite_, &byte, 1) < 0) {
        }
    }

    void EndNow() override
    {
        killpg(pid_, SIGKILL);
    }

private:
    void EndMembers()
    {
        killpg(pid_, SIGKILL);
        // What a member starts while the others end is found by the next look.
        for (int round = 0; round < 50; ++round) {
            const std::vector<pid_t> members = Members(pid_, collected_, marker_);
            if (members.empty())
                break;
            for (pid_t member : members)
                kill(member, SIGKILL);
        }
    }

    void Serve();
    void ReadFrom(int& fd, TJobStream stream);
    void WriteInput();

    TJob::TState& state_;
    pid_t pid_;
    int out_, err_, in_;
    int pidfd_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::string marker_;
    std::thread thread_;
    bool collected_ = false;
    std::string input_;
    bool closing_ = false;
    std::vector<char> buffer_ = std::vector<char>(ReadSize);
};

void TPosixProcess::ReadFrom(int& fd, TJobStream stream)
{
    const ssize_t n = RetryOnEintr([&] { return read(fd, buffer_.data(), buffer_.size()); });
    if (n > 0)
        state_.Deliver(stream, buffer_.data(), static_cast<std::size_t>(n));
    else if (n == 0 || errno != EAGAIN)
        CloseFd(fd);
}

void TPosixProcess::WriteInput()
{
    closing_ = state_.TakeInput(input_) || closing_;
    if (in_ < 0) {
        input_.clear();
        return;
    }
    while (!input_.empty()) {
        const ssize_t n = RetryOnEintr([&] { return write(in_, input_.data(), input_.size()); });
        if (n < 0 && errno == EAGAIN)
            return;
        if (n <= 0) {
            // The child closed its input or has ended: what is left goes nowhere.
            CloseFd(in_);
            input_.clear();
            return;
        }
        input_.erase(0, static_cast<std::size_t>(n));
    }
    if (closing_)
        CloseFd(in_);
}

void TPosixProcess::Serve()
{
    // A child that closes its input must end the write, not the editor.
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, nullptr);

    TJobEnd end;
    bool stopping = false;
    Clock::time_point endedAt;
    // Once the grace is over, whatever still holds the output is ended and
    // given a moment to let go.
    bool swept = false;
    Clock::time_point giveUpAt;
    for (;;) {
        if (!stopping && state_.StopRequested()) {
            stopping = true;
            EndMembers();
        }
        WriteInput();
        const Clock::time_point now = Clock::now();
        int timeout = -1;
        if (collected_) {
            if (out_ < 0 && err_ < 0)
                break;
            const Clock::time_point graceEnd = endedAt + milliseconds(stopping ? 100 : TJob::GraceMs);
            if (!swept && now >= graceEnd) {
                EndMembers();
                swept = true;
                giveUpAt = now + milliseconds(500);
            }
            if (swept && now >= giveUpAt)
                break;
            const Clock::time_point until = swept ? giveUpAt : graceEnd;
            timeout = static_cast<int>(std::chrono::duration_cast<milliseconds>(until - now).count()) + 1;
        } else if (pidfd_ < 0 || stopping) {
            // Without a descriptor for its end the child is looked at often.
            timeout = 10;
        }

        pollfd fds[5];
        nfds_t count = 0;
        fds[count++] = {wakeRead_, POLLIN, 0};
        const nfds_t outAt = out_ >= 0 ? count++ : 0;
        if (out_ >= 0)
            fds[outAt] = {out_, POLLIN, 0};
        const nfds_t errAt = err_ >= 0 ? count++ : 0;
        if (err_ >= 0)
            fds[errAt] = {err_, POLLIN, 0};
        const nfds_t inAt = in_ >= 0 && !input_.empty() ? count++ : 0;
        if (inAt)
            fds[inAt] = {in_, POLLOUT, 0};
        const nfds_t endAt = !collected_ && pidfd_ >= 0 ? count++ : 0;
        if (endAt)
            fds[endAt] = {pidfd_, POLLIN, 0};
        if (poll(fds, count, timeout) < 0 && errno != EINTR)
            break;

        if (fds[0].revents) {
            char drain[256];
            while (read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (outAt && fds[outAt].revents)
            ReadFrom(out_, TJobStream::Output);
        if (errAt && fds[errAt].revents)
            ReadFrom(err_, TJobStream::Error);
        if (inAt && (fds[inAt].revents & (POLLERR | POLLHUP))) {
            CloseFd(in_);
            input_.clear();
        }
        if (!collected_ && (!endAt || fds[endAt].revents || stopping)) {
            int status = 0;
            if (CollectIfEnded(pid_, status)) {
                collected_ = true;
                endedAt = Clock::now();
                end = WIFSIGNALED(status) ? TJobEnd{TJobEnd::Signalled, WTERMSIG(status)}
                                          : TJobEnd{TJobEnd::Exited, WEXITSTATUS(status)};
            }
        }
    }
    CloseFd(out_);
    CloseFd(err_);
    CloseFd(in_);
    if (!collected_) {
        // Only a failing poll comes here: the child is not left to run.
        EndMembers();
        ReapWhenDone(pid_);
        collected_ = true;
        end = {TJobEnd::Signalled, SIGKILL};
    }
    state_.Finish(end);
}

} // namespace

std::unique_ptr<TProcess> Start(const std::string& program, const std::vector<std::string>& args,
                                TJob::TState& state)
{
    int outRead = -1, outWrite = -1, errRead = -1, errWrite = -1, inRead = -1, inWrite = -1;
    auto closeAll = [&] {
        for (int* fd : {&outRead, &outWrite, &errRead, &errWrite, &inRead, &inWrite})
            CloseFd(*fd);
    };
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) {
        closeAll();
        RaiseDosError("Stdout pipe creation failed");
    }
    if (!MakePipe(inRead, inWrite)) {
        closeAll();
        RaiseDosError("Stdin pipe creation failed");
    }
    TSpawnSetup setup;
    setup.Std[0] = inRead;
    setup.Std[1] = outWrite;
    setup.Std[2] = errWrite;
    setup.Folder = state.options.Folder;
    const std::string marker = NewMarker();
    setup.Environment = {marker};
    setup.OwnGroup = true;
    std::vector<std::string> command{program};
    command.insert(command.end(), args.begin(), args.end());
    pid_t pid = -1;
    if (Spawn(command, setup, pid) != 0) {
        closeAll();
        RaiseDosError("Create process failed");
    }
    CloseFd(outWrite);
    CloseFd(errWrite);
    CloseFd(inRead);
    NoWait(outRead);
    NoWait(errRead);
    NoWait(inWrite);
    // Without input to give, the child sees the input's end at once instead
    // of waiting for it.
    if (!state.options.KeepInput)
        CloseFd(inWrite);
    state.pid = pid;
    try {
        return std::make_unique<TPosixProcess>(state, pid, outRead, errRead, inWrite, marker);
    } catch (const std::exception&) {
        killpg(pid, SIGKILL);
        ReapWhenDone(pid);
        closeAll();
        RaiseDosError("Create process failed");
    }
}

} // namespace zj::jobbackend
