#pragma once

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace velmo::test {

// How the real tool is started.
struct ToolStart {
    std::vector<std::string> words;       // the program, then its words
    std::string in, out, err;             // files for its standard streams; empty keeps this one's
    std::string workDir;                  // empty: this process's
    std::vector<std::string> environment; // NAME=value, over this process's
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

// Starts the tool as a terminal would: the signals a test harness may ignore or block are at their
// defaults. Everything is made before the fork, so a parent with threads (a FUSE server) may call
// it. Returns the child, or -1.
inline pid_t StartToolProcess(const ToolStart& start) {
    std::vector<std::string> words = start.words;
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = start.environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const char* equals = std::strchr(*variable, '=');
        const std::string name(*variable, equals ? static_cast<std::size_t>(equals - *variable) : 0);
        bool replaced = false;
        for (const std::string& given : start.environment)
            replaced = replaced || given.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            environment.emplace_back(*variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    const rlimit limit{start.fileSizeLimit, start.fileSizeLimit};

    const pid_t child = ::fork();
    if (child != 0)
        return child;
    const auto redirect = [](const std::string& path, int flags, int stream) {
        if (path.empty())
            return true;
        const int fd = ::open(path.c_str(), flags, 0600);
        return fd >= 0 && ::dup2(fd, stream) >= 0;
    };
    if (!redirect(start.in, O_RDONLY, 0) || !redirect(start.out, O_WRONLY | O_CREAT | O_TRUNC, 1) ||
        !redirect(start.err, O_WRONLY | O_CREAT | O_TRUNC, 2) ||
        (!start.workDir.empty() && ::chdir(start.workDir.c_str()) != 0))
        ::_exit(127);
    for (const int number : {SIGINT, SIGTERM, SIGXFSZ})
        ::signal(number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (start.fileSizeLimit != RLIM_INFINITY && ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        ::_exit(127);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
}

} // namespace velmo::test
