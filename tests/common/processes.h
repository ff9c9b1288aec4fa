#pragma once

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#include <string>
#endif

namespace zj::test {

// Running: neither gone nor only waiting to be collected.
inline bool ProcessAlive(long pid)
{
#ifdef _WIN32
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return false;
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
#else
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const char state = line[line.rfind(')') + 2];
    return state != 'Z' && state != 'X';
#endif
}

// Whether the process goes, given a while.
inline bool ProcessGoes(long pid)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ProcessAlive(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !ProcessAlive(pid);
}

} // namespace zj::test
