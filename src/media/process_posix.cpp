#include "process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// The program a name without a separator stands for, as the shell finds it in PATH.
std::string resolved(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return program;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t from = 0; from <= dirs.size();) {
        std::size_t end = dirs.find(':', from);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > from ? dirs.substr(from, end - from) : ".";
        const std::string candidate = dir + "/" + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        from = end + 1;
    }
    return {};
}

// Reaps a program given up on once it ends, on a thread of its own: one held in the kernel may take
// long, and nobody waits for it.
void reapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// Starts argv with the given standard input, output and error. The child is killed when the thread
// that started it ends (PR_SET_PDEATHSIG), so it never outlives this program. 0 or the errno of
// the failed start.
int startChild(const std::vector<std::string>& words, int in, int out, int err, pid_t& pid) {
    const std::string program = resolved(words.front());
    if (program.empty())
        return ENOENT;
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    Pipe failure; // the child writes errno here when exec fails; closed by a successful exec
    if (!failure.open())
        return errno;
    const pid_t parent = ::getpid();
    pid = ::fork();
    if (pid < 0)
        return errno;
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            const int code = errno;
            (void)!::write(failure.write, &code, sizeof code);
            ::_exit(127);
        }
        ::execve(program.c_str(), argv.data(), environ);
        const int code = errno;
        (void)!::write(failure.write, &code, sizeof code);
        ::_exit(127);
    }
    failure.closeWrite();
    int code = 0;
    ssize_t got;
    while ((got = ::read(failure.read, &code, sizeof code)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof code)) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return code;
    }
    return 0;
}

class PosixHelper final : public HelperProcess {
public:
    PosixHelper(pid_t pid, int socket) : pid_(pid), socket_(socket) {}
    ~PosixHelper() override {
        ::close(socket_);
        ::kill(pid_, SIGKILL);
        reapLater(pid_);
    }
    bool send(const std::string& line) override {
        const std::string bytes = line + "\n";
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::send(socket_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    Reply receive(std::string& line, std::chrono::milliseconds limit) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + limit;
        for (;;) {
            if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
                line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return Reply::Line;
            }
            if (ended_)
                return Reply::Ended;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return Reply::TimedOut;
            pollfd ready{socket_, POLLIN, 0};
            const int n = ::poll(&ready, 1, static_cast<int>(left));
            if (n < 0 && errno != EINTR)
                return Reply::Ended;
            if (n <= 0)
                continue;
            char buffer[65536];
            const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                ended_ = true;
            else
                pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }

private:
    pid_t pid_;
    int socket_;
    std::string pending_;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<HelperProcess> HelperProcess::Start(const std::vector<std::string>& argv,
                                                    std::string& error) {
    // A socket rather than pipes: a request sent to a helper that is gone fails with EPIPE instead of
    // raising SIGPIPE in this program.
    int ends[2];
    if (argv.empty() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = argv.empty() ? "no program given" : std::strerror(errno);
        return nullptr;
    }
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = -1;
    const int failed = startChild(argv, ends[1], ends[1], devNull >= 0 ? devNull : 2, pid);
    if (devNull >= 0)
        ::close(devNull);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        error = std::strerror(failed);
        return nullptr;
    }
    return std::make_unique<PosixHelper>(pid, ends[0]);
}

ProcessOutcome process_detail::SpawnAndWait(const ProcessRequest& request) {
    ProcessOutcome outcome;
    Pipe out;
    Pipe err;
    if (!out.open() || !err.open()) {
        outcome.error = std::strerror(errno);
        return outcome;
    }
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t pid = -1;
    const int spawned = startChild(request.argv, devNull >= 0 ? devNull : 0, out.write, err.write, pid);
    if (devNull >= 0)
        ::close(devNull);
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
    Clock::time_point killedAt;
    ProcessOutcome::Status killedFor = ProcessOutcome::Status::TimedOut;
    const auto kill = [&](ProcessOutcome::Status why) {
        if (!killed) {
            ::kill(pid, SIGKILL);
            killedAt = Clock::now();
        }
        killed = true;
        killedFor = why;
    };
    // A program killed while held in the kernel (a read from a volume that never answers) ends only
    // when that read does: it is given a moment, then left to end on its own.
    constexpr auto kEndAfterKill = std::chrono::seconds(2);
    const auto givenUp = [&] { return killed && Clock::now() - killedAt >= kEndAfterKill; };
    char buffer[65536];
    while ((out.read >= 0 || err.read >= 0) && !givenUp()) {
        pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
        int wait = -1;
        if (killed)
            wait = 100;
        else if (request.timeoutSeconds > 0) {
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
    bool reaped = false;
    while (!givenUp()) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            reaped = true;
            break;
        }
        if (ended < 0 && errno != EINTR)
            break;
        if (!killed && request.timeoutSeconds > 0 && Clock::now() >= deadline)
            kill(ProcessOutcome::Status::TimedOut);
        else
            ::usleep(2000);
    }
    if (!reaped)
        reapLater(pid);
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
