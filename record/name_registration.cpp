#include "record/name_registration.h"

#include <iostream>

#include "record/record.h"

namespace pelmora::record {

bool waitsForName(const std::string& storedName) { return storedName == kUnregistered; }

bool saveName(Platform& platform, const std::string& name) {
    if (name.empty()) {
        platform.beep();
        return false;
    }
    if (!write(platform, kNameKey, name)) {
        std::cerr << "pelmora: could not save the name in " << path(platform) << '\n';
    }
    return true;
}

}  // namespace pelmora::record
