#include "finding.h"

#include <algorithm>

namespace velmo {

std::string EntryId::text() const {
    switch (kind) {
    case Kind::Basic:
        return "basic entry " + std::to_string(index + 1);
    case Kind::Advance:
        return "advance entry " + std::to_string(index + 1);
    case Kind::Detail:
        return "advance entry " + std::to_string(index + 1) + ", detail entry " + std::to_string(detail + 1);
    case Kind::Schedule:
        break;
    }
    return {};
}

std::array<int, 3> EntryId::order() const {
    switch (kind) {
    case Kind::Basic:
        return {0, index, 0};
    case Kind::Advance:
        return {1, index, 0};
    case Kind::Detail:
        return {1, index, detail + 1};
    case Kind::Schedule:
        break;
    }
    return {2, 0, 0};
}

std::string FormatFinding(std::string_view file, const Finding& finding) {
    std::string line(file);
    line += ": ";
    if (!finding.where.empty())
        line += finding.where + ": ";
    if (finding.severity == Finding::Severity::Warning)
        line += "warning: ";
    line += finding.what;
    return line;
}

void SortByEntry(std::vector<Finding>& findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.order < b.order; });
}

} // namespace velmo
