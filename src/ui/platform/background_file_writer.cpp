#include "background_file_writer.h"

#include "model/safe_file.h"

#include <algorithm>
#include <filesystem>

namespace velmo {

BackgroundFileWriter::BackgroundFileWriter(Report report)
    : report_(std::move(report)), thread_([this] { run(); }) {}

BackgroundFileWriter::~BackgroundFileWriter() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void BackgroundFileWriter::write(std::string path, std::vector<std::uint8_t> bytes) {
    ask({std::move(path), false, std::move(bytes)});
}

void BackgroundFileWriter::remove(std::string path) {
    ask({std::move(path), true, {}});
}

void BackgroundFileWriter::ask(Request request) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                      [&request](const Request& r) { return r.path == request.path; }),
                       waiting_.end());
        waiting_.push_back(std::move(request));
    }
    wake_.notify_one();
}

void BackgroundFileWriter::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return waiting_.empty() && !busy_; });
}

void BackgroundFileWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        // Whatever was asked is still carried out when the writer goes.
        if (waiting_.empty())
            return;
        Request request = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        lock.unlock();
        Result result;
        if (request.remove) {
            std::error_code error;
            std::filesystem::remove(request.path, error);
            if (error)
                result = Result::failure(error.message());
        } else {
            result = WriteFileAtomically(request.path, request.bytes);
        }
        if (report_)
            report_(request.path, request.remove, result);
        lock.lock();
        busy_ = false;
        if (waiting_.empty())
            idle_.notify_all();
    }
}

} // namespace velmo
