#include "cli/cli.h"

#include <iostream>
#include <random>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    velmo::CliEnvironment env{std::cin,
                              std::cout,
                              std::cerr,
                              &velmo::LocalToday,
                              [] {
                                  std::random_device entropy;
                                  return (static_cast<std::uint64_t>(entropy()) << 32) ^ entropy();
                              },
                              [] { return ::isatty(STDERR_FILENO) == 1; }};
    const int status = velmo::RunCli(std::vector<std::string>(argv + 1, argv + argc), env);
    std::cout.flush();
    return status;
}
