#pragma once

// What the benchmark programs share: elapsed time, and running a command to time it.

#include <chrono>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velmo::bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the command and waits for it; false when it could not start or did not succeed.
inline bool RunCommand(const std::vector<std::string>& command) {
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : command)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace velmo::bench
