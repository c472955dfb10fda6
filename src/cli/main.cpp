#include "cli/cli.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <random>
#include <unistd.h>

int main(int argc, char** argv) {
    // Over a file-size limit a write then fails with EFBIG and is reported, instead of the signal
    // ending the tool with no word.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    velmo::CliEnvironment env{std::cin, std::cout, std::cerr, &velmo::LocalToday, [] {
                                  std::random_device entropy;
                                  return (static_cast<std::uint64_t>(entropy()) << 32) ^ entropy();
                              }};
    int status = velmo::RunCli(std::vector<std::string>(argv + 1, argv + argc), env);
    // Output lost on a full disk or a closed pipe is a failure, not a success with less text. A
    // standard output closed from the start has lost nothing if nothing was written to it.
    errno = 0;
    std::cout.flush();
    const bool written = bool(std::cout);
    const int flushError = errno;
    if (!written || (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR)) {
        std::cerr << "velmo-schedule: cannot write standard output: "
                  << std::strerror(written ? errno : (flushError != 0 ? flushError : EIO)) << '\n';
        status = velmo::kStatusCannotRead;
    }
    return status;
}
