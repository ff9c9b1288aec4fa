#include "job.h"

#include "job_backend.h"

#include <algorithm>

namespace zj {

namespace {

// Consecutive bytes of one stream travel as one piece up to this size, so a
// child writing a line at a time does not make a piece of every line.
constexpr std::size_t PieceSize = 64u << 10;

} // namespace

TJob::TState::TState(const TJobOptions& options_, std::function<void()> wake_)
    : options(options_), wake(std::move(wake_))
{
}

TJob::TState::~TState()
{
    process.reset();
    // The echo first: it may use the saved standard output itself.
    echo.reset();
    dosbackend::ReleaseSaved(savedStdOut);
}

void TJob::TState::Deliver(TJobStream stream, const char* data, std::size_t size)
{
    if (echo)
        echo->Write(data, size);
    bool callWake = false;
    {
        std::lock_guard guard(lock);
        written += size;
        std::size_t take = size;
        if (options.Keep == TJobOptions::KeepFirst) {
            const std::uint64_t room = kept < options.Limit ? options.Limit - kept : 0;
            take = static_cast<std::size_t>(std::min<std::uint64_t>(size, room));
            dropped += size - take;
        }
        kept += take;
        if (take > 0) {
            if (!pieces.empty() && pieces.back().Stream == stream && pieces.back().Bytes.size() < PieceSize)
                pieces.back().Bytes.append(data, take);
            else
                pieces.push_back({stream, std::string(data, take)});
            queued += take;
        }
        // The latest output is what counts: the oldest waiting goes.
        while (options.Keep == TJobOptions::KeepLast && queued > options.Limit) {
            std::string& front = pieces.front().Bytes;
            const std::size_t cut = std::min(front.size(), queued - options.Limit);
            dropped += cut;
            queued -= cut;
            if (cut == front.size())
                pieces.pop_front();
            else
                front.erase(0, cut);
        }
        callWake = take > 0 && !woken && wake;
        woken = woken || callWake;
    }
    if (callWake)
        wake();
}

bool TJob::TState::TakeInput(std::string& into)
{
    std::lock_guard guard(lock);
    into += input;
    input.clear();
    return closeInput;
}

bool TJob::TState::StopRequested() const
{
    std::lock_guard guard(lock);
    return stop;
}

void TJob::TState::Finish(const TJobEnd& how)
{
    bool callWake = false;
    {
        std::lock_guard guard(lock);
        finished = true;
        end = stop ? TJobEnd{TJobEnd::Stopped, 0} : how;
        callWake = !woken && wake;
        woken = woken || callWake;
    }
    if (callWake)
        wake();
}

TJob::TJob(const std::string& Program, const std::vector<std::string>& Args, const TJobOptions& Options,
           std::function<void()> Wake)
    : state_(std::make_unique<TState>(Options, std::move(Wake)))
{
    if (Options.Echo && dosbackend::SaveStd(dosbackend::StdStream::Output, state_->savedStdOut))
        state_->echo = std::make_unique<dosbackend::Echo>(state_->savedStdOut);
    state_->process = jobbackend::Start(Program, Args, *state_);
}

TJob::~TJob()
{
    Stop();
}

void TJob::WriteInput(std::string_view Bytes)
{
    {
        std::lock_guard guard(state_->lock);
        if (state_->closeInput || state_->finished || !state_->options.KeepInput)
            return;
        state_->input.append(Bytes);
    }
    state_->process->Poke();
}

void TJob::CloseInput()
{
    {
        std::lock_guard guard(state_->lock);
        state_->closeInput = true;
    }
    state_->process->Poke();
}

void TJob::Stop()
{
    {
        std::lock_guard guard(state_->lock);
        if (state_->finished || state_->stop)
            return;
        state_->stop = true;
    }
    state_->process->EndNow();
    state_->process->Poke();
}

bool TJob::Take(std::vector<TJobPiece>& Pieces, std::size_t MaxBytes)
{
    std::lock_guard guard(state_->lock);
    std::size_t taken = 0;
    while (!state_->pieces.empty() && (taken == 0 || taken + state_->pieces.front().Bytes.size() <= MaxBytes)) {
        taken += state_->pieces.front().Bytes.size();
        Pieces.push_back(std::move(state_->pieces.front()));
        state_->pieces.pop_front();
    }
    state_->queued -= taken;
    const bool more = !state_->pieces.empty();
    if (!more)
        state_->woken = false;
    return more;
}

bool TJob::Finished() const
{
    std::lock_guard guard(state_->lock);
    return state_->finished && state_->pieces.empty();
}

TJobEnd TJob::End() const
{
    std::lock_guard guard(state_->lock);
    return state_->end;
}

std::uint64_t TJob::Dropped() const
{
    std::lock_guard guard(state_->lock);
    return state_->dropped;
}

std::uint64_t TJob::Written() const
{
    std::lock_guard guard(state_->lock);
    return state_->written;
}

long TJob::Pid() const
{
    return state_->pid;
}

} // namespace zj
