#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velmo::test {

inline std::string dataPath(const std::string& name) {
    return std::string(VELMO_TEST_DATA_DIR) + "/" + name;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    const std::string text = readText(path);
    return {text.begin(), text.end()};
}

// The reference schedules of tests/data: NAME.vlm written from NAME.json.
inline const std::vector<std::string>& referenceNames() {
    static const std::vector<std::string> names = {"one-basic-r100", "advance-only-l30", "mixed-reserved",
                                                   "empty"};
    return names;
}

} // namespace velmo::test
