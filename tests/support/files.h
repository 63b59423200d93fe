#pragma once
// Whole files as bytes: records are compared byte for byte.
#include <filesystem>
#include <fstream>
#include <string>

namespace pelmora::testing {

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace pelmora::testing
