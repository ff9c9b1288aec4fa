#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zj {

enum class TJobStream { Output, Error };

// What a job wrote to one of its streams, in one piece.
struct TJobPiece {
    TJobStream Stream = TJobStream::Output;
    std::string Bytes;
};

// How a job ended.
struct TJobEnd {
    enum TKind { Exited, Signalled, Stopped };
    TKind Kind = Exited;
    // The exit code, or the signal's number.
    int Code = 0;
};

struct TJobOptions {
    // The child's working folder; empty: the editor's.
    std::string Folder;
    // A normal rather than a minimised, inactive window where the platform
    // has one.
    bool Visible = false;
    // The child's standard input stays open for WriteInput; otherwise it sees
    // the input's end at once.
    bool KeepInput = false;
    // What arrives is also written to the editor's own standard output, never
    // waiting for it.
    bool Echo = false;
    // How much output waits to be taken at most, and which part of it is kept
    // once more arrives: the first bytes of the whole run, or the latest.
    enum TKeep { KeepFirst, KeepLast };
    TKeep Keep = KeepFirst;
    std::size_t Limit = 16u << 20;
};

// A program running in the background on pipes of its own: its standard
// output and error are read apart, in the order they arrive, its input takes
// what WriteInput gives, and Stop ends it with everything it started (its
// process group and any descendant that left it on POSIX, its job object on
// Windows). The editor's own standard streams are never touched, so any
// number of jobs can run at once.
class TJob {
public:
    // Starts Program with Args (handed over as they are; no shell). Wake is
    // called from another thread when output or the end has arrived since the
    // last Take. Raises EDosProcessError ("Create process failed" when the
    // program cannot be started).
    TJob(const std::string& Program, const std::vector<std::string>& Args, const TJobOptions& Options,
         std::function<void()> Wake = {});
    // Stops a job that still runs.
    ~TJob();
    TJob(const TJob&) = delete;
    TJob& operator=(const TJob&) = delete;

    // Queued for the child's standard input, written as it reads; dropped
    // once the input has ended or the child has closed it.
    void WriteInput(std::string_view Bytes);
    // The child sees the end of its input once what is queued is written.
    void CloseInput();
    // Ends the child and every process it started. Returns at once; the end
    // arrives as Stopped.
    void Stop();

    // Moves what has arrived to Pieces, in order, about MaxBytes at most;
    // true when more is waiting.
    bool Take(std::vector<TJobPiece>& Pieces, std::size_t MaxBytes = SIZE_MAX);
    // The job has ended and all its output has been taken.
    bool Finished() const;
    // How the job ended, once Finished.
    TJobEnd End() const;
    // Bytes of output left out by the limit so far, and bytes written in all.
    std::uint64_t Dropped() const;
    std::uint64_t Written() const;
    // The child's process id.
    long Pid() const;

    // How long output may stay open after the child has ended: whatever
    // still holds it then is ended too.
    static constexpr int GraceMs = 1000;

    struct TState;

private:
    std::unique_ptr<TState> state_;
};

} // namespace zj
