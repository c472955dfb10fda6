#include "process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmo {

namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    bool open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead() {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

std::string signalName(int signal) {
    const char* abbreviation = sigabbrev_np(signal);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
}

} // namespace

ProcessOutcome process_detail::SpawnAndWait(const ProcessRequest& request) {
    ProcessOutcome outcome;
    Pipe out;
    Pipe err;
    if (!out.open() || !err.open()) {
        outcome.error = std::strerror(errno);
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    std::vector<char*> argv;
    for (const std::string& word : request.argv)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.closeWrite();
    err.closeWrite();
    if (spawned != 0) {
        outcome.status =
            spawned == ENOENT ? ProcessOutcome::Status::NotFound : ProcessOutcome::Status::NotRun;
        outcome.error = std::strerror(spawned);
        return outcome;
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(request.timeoutSeconds * 1000));
    bool killed = false;
    ProcessOutcome::Status killedFor = ProcessOutcome::Status::TimedOut;
    const auto kill = [&](ProcessOutcome::Status why) {
        if (!killed)
            ::kill(pid, SIGKILL);
        killed = true;
        killedFor = why;
    };
    char buffer[65536];
    while (out.read >= 0 || err.read >= 0) {
        pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
        int wait = -1;
        if (request.timeoutSeconds > 0 && !killed) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<int>(std::max<long long>(0, left));
        }
        const int ready = ::poll(fds, 2, wait);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready == 0) {
            kill(ProcessOutcome::Status::TimedOut);
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                (i == 0 ? out : err).closeRead();
                continue;
            }
            const std::string_view piece(buffer, static_cast<std::size_t>(got));
            if (i == 0) {
                if (process_detail::KeepOutput(request, outcome, piece, killed))
                    kill(ProcessOutcome::Status::Cancelled);
            } else {
                process_detail::KeepErrors(outcome.err, piece);
            }
        }
    }
    // A program that closed its outputs may still run: it gets the rest of its time, then is killed.
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, killed ? 0 : WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR))
            break;
        if (ended == 0) {
            if (request.timeoutSeconds > 0 && Clock::now() >= deadline)
                kill(ProcessOutcome::Status::TimedOut);
            else
                ::usleep(2000);
        }
    }
    if (killed) {
        outcome.status = killedFor;
    } else if (WIFSIGNALED(status)) {
        outcome.status = ProcessOutcome::Status::Crashed;
        outcome.signalName = signalName(WTERMSIG(status));
    } else {
        outcome.status = ProcessOutcome::Status::Exited;
        outcome.exitCode = WEXITSTATUS(status);
    }
    return outcome;
}

} // namespace velmo
