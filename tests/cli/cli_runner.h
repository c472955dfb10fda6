#pragma once

#include "cli/cli.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace velmo::test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;

    std::vector<std::string> errLines() const {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

// Runs the tool in-process, as main() does, with a fixed today and seed source; `interrupted` says
// whether Ctrl+C has come.
inline CliRun runCli(const std::vector<std::string>& words, const std::string& input = {},
                     CivilDate today = CivilDate{2007, 1, 1}, std::function<bool()> interrupted = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    CliEnvironment env{in, out, err, [today] { return today; }, [] { return std::uint64_t{42}; }};
    env.interrupted = std::move(interrupted);
    CliRun run;
    run.status = RunCli(words, env);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmo-cli-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace velmo::test
