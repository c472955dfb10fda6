#include "process.h"

namespace velmo {

ProcessOutcome RunProcess(const ProcessRequest& request) {
    if (request.argv.empty()) {
        ProcessOutcome outcome;
        outcome.error = "no program given";
        return outcome;
    }
    return process_detail::SpawnAndWait(request);
}

namespace process_detail {

bool KeepOutput(const ProcessRequest& request, ProcessOutcome& outcome, std::string_view piece, bool killed) {
    if (outcome.out.size() < request.maxOutput)
        outcome.out.append(piece.substr(0, request.maxOutput - outcome.out.size()));
    return request.onOutput && !killed && !request.onOutput(piece);
}

void KeepErrors(std::string& errors, std::string_view piece) {
    constexpr std::size_t kErrorTail = 4096;
    errors.append(piece);
    if (errors.size() > kErrorTail)
        errors.erase(0, errors.size() - kErrorTail);
}

} // namespace process_detail
} // namespace velmo
