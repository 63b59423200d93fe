#include "quiz/notes.h"

#include <cmath>

namespace pelmora {

std::string soundPath(const std::string& programFolder, int index) {
    return programFolder + "/mi/" + note(index).file;
}

int drawNote(int level, float r) {
    struct Range { float count; float first; };
    static constexpr Range kLevels[] = {{7.0f, 1.0f}, {5.0f, 8.0f}, {12.0f, 1.0f}};
    const Range& range = kLevels[level - 1];
    // The product is rounded to single precision before the integer part is
    // taken, so the largest r below 1 still stays inside the level.
    const float product = r * range.count;
    return static_cast<int>(std::floor(product) + range.first);
}

}  // namespace pelmora
