#include "job_backend.h"

#include "cmdline.h"
#include "dosprocess.h"
#include "process.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace zj::jobbackend {

namespace {

constexpr DWORD ReadSize = 64u << 10;

// A child inherits every inheritable handle that exists while it is
// created: the ends meant for one job's child are inheritable only then, so
// that no other child, of a job started meanwhile, holds them open.
std::mutex StartLock;

bool MakePipe(HANDLE& readEnd, HANDLE& writeEnd)
{
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = FALSE;
    return ::CreatePipe(&readEnd, &writeEnd, &attributes, 0) != 0;
}

void CloseHandleOf(HANDLE& handle)
{
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}

void Inheritable(HANDLE handle, bool inheritable)
{
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, inheritable ? HANDLE_FLAG_INHERIT : 0);
}

template <class Object, void (Object::*Body)()>
DWORD WINAPI ThreadEntry(void* object)
{
    (static_cast<Object*>(object)->*Body)();
    return 0;
}

class TWinProcess final : public TProcess {
public:
    TWinProcess(TJob::TState& state, HANDLE process, HANDLE job, HANDLE out, HANDLE err, HANDLE in)
        : state_(state), process_(process), job_(job), out_(out), err_(err), in_(in)
    {
        wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        inputReady_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        readers_[0] = CreateThread(nullptr, 0, ThreadEntry<TWinProcess, &TWinProcess::ReadOutput>, this, 0, nullptr);
        readers_[1] = CreateThread(nullptr, 0, ThreadEntry<TWinProcess, &TWinProcess::ReadError>, this, 0, nullptr);
        if (in_)
            writer_ = CreateThread(nullptr, 0, ThreadEntry<TWinProcess, &TWinProcess::WriteInput>, this, 0, nullptr);
        main_ = CreateThread(nullptr, 0, ThreadEntry<TWinProcess, &TWinProcess::Serve>, this, 0, nullptr);
    }

    ~TWinProcess() override
    {
        Poke();
        WaitForSingleObject(main_, INFINITE);
        for (HANDLE* handle : {&main_, &readers_[0], &readers_[1], &writer_, &wake_, &inputReady_, &out_, &err_, &in_,
                               &process_, &job_})
            CloseHandleOf(*handle);
    }

    void Poke() override
    {
        SetEvent(wake_);
        SetEvent(inputReady_);
    }

    void EndNow() override { EndAll(); }

    // The threads are made in the constructor; a job without them cannot run.
    bool Running() const { return wake_ && inputReady_ && readers_[0] && readers_[1] && main_ && (writer_ || !in_); }

private:
    void EndAll()
    {
        if (job_)
            TerminateJobObject(job_, 1);
        else
            TerminateProcess(process_, 1);
    }

    void Read(HANDLE handle, TJobStream stream)
    {
        std::vector<char> buffer(ReadSize);
        DWORD n = 0;
        while (ReadFile(handle, buffer.data(), ReadSize, &n, nullptr) && n > 0)
            state_.Deliver(stream, buffer.data(), n);
        --readersLeft_;
        SetEvent(wake_);
    }
    void ReadOutput() { Read(out_, TJobStream::Output); }
    void ReadError() { Read(err_, TJobStream::Error); }

    void WriteInput()
    {
        std::string pending;
        bool closing = false;
        bool dead = false;
        while (!quit_) {
            WaitForSingleObject(inputReady_, INFINITE);
            closing = state_.TakeInput(pending) || closing;
            while (!dead && !pending.empty() && !quit_) {
                DWORD n = 0;
                if (!WriteFile(in_, pending.data(), static_cast<DWORD>(pending.size()), &n, nullptr) || n == 0)
                    dead = true;
                else
                    pending.erase(0, n);
            }
            // Written or given up: what is left goes nowhere.
            if (dead)
                pending.clear();
            if ((closing || dead) && pending.empty())
                break;
        }
        CloseHandleOf(in_);
    }

    void Serve()
    {
        HANDLE waits[] = {process_, wake_};
        while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        }
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        const ULONGLONG endedAt = GetTickCount64();
        auto waitForReaders = [&](ULONGLONG until) {
            for (ULONGLONG now = GetTickCount64(); readersLeft_ > 0 && now < until; now = GetTickCount64())
                WaitForSingleObject(wake_, static_cast<DWORD>(until - now));
        };
        waitForReaders(endedAt + (state_.StopRequested() ? 100 : TJob::GraceMs));
        if (readersLeft_ > 0) {
            // Whatever the child started still holds the output: it ends too.
            EndAll();
            waitForReaders(GetTickCount64() + 500);
        }
        for (HANDLE reader : readers_)
            CancelSynchronousIo(reader);
        WaitForMultipleObjects(2, readers_, TRUE, INFINITE);
        if (writer_) {
            quit_ = true;
            SetEvent(inputReady_);
            CancelSynchronousIo(writer_);
            WaitForSingleObject(writer_, INFINITE);
        }
        state_.Finish({TJobEnd::Exited, static_cast<int>(code)});
    }

    TJob::TState& state_;
    HANDLE process_;
    HANDLE job_;
    HANDLE out_, err_, in_;
    HANDLE wake_ = nullptr;
    HANDLE inputReady_ = nullptr;
    HANDLE readers_[2] = {nullptr, nullptr};
    HANDLE writer_ = nullptr;
    HANDLE main_ = nullptr;
    std::atomic<int> readersLeft_{2};
    std::atomic<bool> quit_{false};
};

std::wstring CommandLine(const std::string& program, const std::vector<std::string>& args)
{
    std::string line = QuoteProgram(program);
    for (const std::string& arg : args)
        line += " " + QuoteArgument(arg);
    return CommandLineToWide(line);
}

} // namespace

std::unique_ptr<TProcess> Start(const std::string& program, const std::vector<std::string>& args,
                                TJob::TState& state)
{
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr, inRead = nullptr,
           inWrite = nullptr;
    auto closeAll = [&] {
        for (HANDLE* handle : {&outRead, &outWrite, &errRead, &errWrite, &inRead, &inWrite})
            CloseHandleOf(*handle);
    };
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) {
        closeAll();
        RaiseDosError("Stdout pipe creation failed");
    }
    if (!MakePipe(inRead, inWrite)) {
        closeAll();
        RaiseDosError("Stdin pipe creation failed");
    }

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.StartupInfo.wShowWindow = state.options.Visible ? SW_SHOWNORMAL : SW_SHOWMINNOACTIVE;
    startup.StartupInfo.hStdInput = inRead;
    startup.StartupInfo.hStdOutput = outWrite;
    startup.StartupInfo.hStdError = errWrite;
    // Where the system takes it, the list keeps the child to these three.
    HANDLE inherited[] = {inRead, outWrite, errWrite};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> list(listSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    DWORD flags = CREATE_SUSPENDED;
    if (listSize > 0 && InitializeProcThreadAttributeList(attributes, 1, 0, &listSize)) {
        if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                      nullptr, nullptr)) {
            startup.lpAttributeList = attributes;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        } else {
            DeleteProcThreadAttributeList(attributes);
        }
    }
    std::wstring line = CommandLine(program, args);
    const std::wstring folder = CommandLineToWide(state.options.Folder);
    PROCESS_INFORMATION info{};
    BOOL started = FALSE;
    {
        std::lock_guard guard(StartLock);
        for (HANDLE handle : inherited)
            Inheritable(handle, true);
        // The child joins its job before it runs, so that everything it
        // starts is in the job too.
        started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &info);
        for (HANDLE handle : inherited)
            Inheritable(handle, false);
    }
    if (startup.lpAttributeList)
        DeleteProcThreadAttributeList(attributes);
    CloseHandleOf(outWrite);
    CloseHandleOf(errWrite);
    CloseHandleOf(inRead);
    if (!started) {
        closeAll();
        RaiseDosError("Create process failed");
    }
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job && !AssignProcessToJobObject(job, info.hProcess))
        CloseHandleOf(job);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    if (!state.options.KeepInput)
        CloseHandleOf(inWrite);
    state.pid = static_cast<long>(info.dwProcessId);
    auto process = std::make_unique<TWinProcess>(state, info.hProcess, job, outRead, errRead, inWrite);
    if (!process->Running()) {
        process->EndNow();
        RaiseDosError("Create process failed");
    }
    return process;
}

} // namespace zj::jobbackend
