#include "platform/profile_file.h"
namespace pelmora::profile {
std::string read(const std::string&, const std::string&, const std::string&) { return {}; }
bool write(const std::string&, const std::string&, const std::string&, const std::string&) { return false; }
}
