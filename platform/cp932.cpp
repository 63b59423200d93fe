#include "platform/cp932.h"
namespace pelmora::cp932 {
std::string fromUtf8(const std::string& utf8) { return utf8; }
std::string toUtf8(const std::string& bytes) { return bytes; }
}
