#pragma once

#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace zj {

#ifdef _WIN32

// A UTF-8 command line for CreateProcessW. Text that is not valid UTF-8 is read
// in the ANSI code page, as CreateProcessA would have read it.
std::wstring CommandLineToWide(std::string_view cmdLine);

#else

// Starts args[0] with args as its argument list; a name without a slash is
// looked up on PATH, and no shell is involved. The child gets the editor's
// environment, current folder and descriptors 0, 1 and 2, nothing else, with
// an empty signal mask and SIGPIPE at its default. Nobody needs to wait for
// it: a reaper collects it when it ends, so no zombie is left behind.
// Returns 0, or the errno value that says why it could not be started (a
// program that is missing or not executable fails here, not in the child).
int SpawnDetached(const std::vector<std::string>& args, pid_t* pid = nullptr);

// What a child gets besides its arguments.
struct TSpawnSetup {
    // The descriptors that become the child's 0, 1 and 2; -1 passes the
    // editor's own.
    int Std[3] = {-1, -1, -1};
    // The child's working folder; empty: the editor's.
    std::string Folder;
    // "NAME=value" entries added to the editor's environment.
    std::vector<std::string> Environment;
    // The child leads a process group of its own (its id is pid), so that it
    // can be ended together with everything it starts.
    bool OwnGroup = false;
};

// Starts args[0] as SpawnDetached does, but leaves the waiting to the caller,
// who collects pid with CollectIfEnded or hands it to ReapWhenDone.
int Spawn(const std::vector<std::string>& args, const TSpawnSetup& setup, pid_t& pid);

// Collects the child pid if it has ended: true, with its wait status.
bool CollectIfEnded(pid_t pid, int& status);

// Collects the child pid in the background once it ends; nothing else may
// wait for it afterwards.
void ReapWhenDone(pid_t pid);

// Makes the editor the reaper of every orphaned descendant (Linux), so that
// what a job leaves behind, also in a session of its own, stays a child of
// the editor to find and end; orphans are collected as they end. Once this
// has run, every child must be started through Spawn: another child's end
// would be collected here too.
void BecomeSubreaper();

// Points each of the descriptors 0, 1 and 2 that is closed at /dev/null, so
// that no file opened later takes its number and receives what is meant for
// a standard stream. False when one could not be opened.
bool OpenClosedStdStreams();

#endif

} // namespace zj
