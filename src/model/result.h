#pragma once

#include <string>
#include <utility>

namespace velmo {

// Outcome of a core operation: the core never throws across modules and never shows anything.
struct Result {
    bool ok = true;
    std::string reason;

    static Result success() { return {}; }
    static Result failure(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

} // namespace velmo
