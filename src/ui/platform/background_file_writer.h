#pragma once

#include "model/result.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmo {

// Writes and removes files on a thread of its own, in the order asked. A request for a file that is
// still waiting is replaced by the newer one, so a burst of edits costs one write of the last state.
class BackgroundFileWriter {
public:
    // Told on the writer's thread how each request for `path` went.
    using Report = std::function<void(const std::string& path, bool removal, const Result& result)>;

    explicit BackgroundFileWriter(Report report = {});
    // Carries out what was asked before it returns.
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter&) = delete;
    BackgroundFileWriter& operator=(const BackgroundFileWriter&) = delete;

    // Replaces the file atomically with `bytes`.
    void write(std::string path, std::vector<std::uint8_t> bytes);
    void remove(std::string path);
    // Returns once every request made so far is carried out.
    void wait();

private:
    struct Request {
        std::string path;
        bool remove = false;
        std::vector<std::uint8_t> bytes;
    };
    void ask(Request request);
    void run();

    Report report_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Request> waiting_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace velmo
