#pragma once

#include <string>
#include <utility>

namespace velmo {

// What kind of failure, for the program to act on; the reason says it to people.
enum class FailureKind {
    None,
    NotFound,
    NoPermission,
    ReadOnly,
    NoSpace,
    TooLarge,
    NotAFile,
    Other,
};

// The kind of failure a system error number stands for.
FailureKind FailureKindOfErrno(int error);

// Outcome of a core operation: the core never throws across modules and never shows anything.
struct [[nodiscard]] Result {
    bool ok = true;
    std::string reason;
    FailureKind kind = FailureKind::None;

    static Result success() { return {}; }
    static Result failure(std::string why, FailureKind kind = FailureKind::Other) {
        return {false, std::move(why), kind};
    }
    explicit operator bool() const { return ok; }
};

} // namespace velmo
