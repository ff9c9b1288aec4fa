#pragma once

// What a job's portable part and its platform backend share: the state that
// the owner's thread and the job's threads both see, under one lock.

#include "dosprocess_backend.h"
#include "job.h"

#include <deque>
#include <mutex>

namespace zj {

namespace jobbackend {

// The running child and the threads that serve it; the backend's own.
class TProcess {
public:
    virtual ~TProcess() = default;
    // Something was queued for the job's threads: input, its end, a stop.
    virtual void Poke() = 0;
    // The first step of Stop, on the caller's thread: the child and its
    // group end at once; the job's threads find and end the rest.
    virtual void EndNow() = 0;
};

} // namespace jobbackend

struct TJob::TState {
    TState(const TJobOptions& options, std::function<void()> wake);
    ~TState();
    TState(const TState&) = delete;
    TState& operator=(const TState&) = delete;

    const TJobOptions options;

    // The job's threads: what the child wrote to stream.
    void Deliver(TJobStream stream, const char* data, std::size_t size);
    // The job's threads: the input to write now, appended to into; whether
    // the input is to end once that is written.
    bool TakeInput(std::string& into);
    bool StopRequested() const;
    // The job's threads: the child has ended and its output is read or
    // given up; nothing is delivered afterwards.
    void Finish(const TJobEnd& end);

    mutable std::mutex lock;
    std::function<void()> wake;
    // The wake was called and the owner has not taken everything since.
    bool woken = false;
    std::deque<TJobPiece> pieces;
    std::size_t queued = 0;
    std::uint64_t written = 0;
    std::uint64_t kept = 0;
    std::uint64_t dropped = 0;
    std::string input;
    bool closeInput = false;
    bool stop = false;
    bool finished = false;
    TJobEnd end;
    long pid = 0;

    // Where the output is echoed, when it is.
    dosbackend::Handle savedStdOut = dosbackend::NoHandle;
    std::unique_ptr<dosbackend::Echo> echo;

    // Destroyed first: its threads use everything above.
    std::unique_ptr<jobbackend::TProcess> process;
};

namespace jobbackend {

// Makes the pipes, starts the child and the threads that serve it; sets
// state.pid. Raises EDosProcessError.
std::unique_ptr<TProcess> Start(const std::string& program, const std::vector<std::string>& args,
                                TJob::TState& state);

} // namespace jobbackend

} // namespace zj
