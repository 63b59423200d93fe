#include "record/record.h"

#include "quiz/number.h"

namespace pelmora::record {
namespace {
constexpr const char* kSection = "情報";
constexpr const char* kFile = "/date.ini";

std::string programRecord(Platform& platform) { return platform.programFolder() + kFile; }

// The player's own folder, or "" where the record stays beside the program.
// A starter record that nobody may write (as a system-wide install ships it)
// is only ever read, so that not even root's runs can change what every new
// player starts from.
std::string playerFolder(Platform& platform) {
    const std::string record = programRecord(platform);
    if (platform.canWrite(platform.programFolder()) && (!platform.fileExists(record) || platform.canWrite(record)))
        return {};
    const std::string data = platform.dataFolder();
    return data.empty() ? std::string() : data + "/pelmora";
}
}  // namespace

std::string path(Platform& platform) {
    const std::string folder = playerFolder(platform);
    return folder.empty() ? programRecord(platform) : folder + kFile;
}

std::string read(Platform& platform, const std::string& key) {
    std::string file = path(platform);
    if (!platform.fileExists(file)) file = programRecord(platform);
    return platform.readProfile(kSection, key, file);
}

bool write(Platform& platform, const std::string& key, const std::string& value) {
    const std::string folder = playerFolder(platform);
    if (folder.empty()) return platform.writeProfile(kSection, key, value, programRecord(platform));
    const std::string file = folder + kFile;
    if (!platform.fileExists(file)) {
        const std::string program = programRecord(platform);
        if (!platform.makeFolder(folder)) return false;
        if (platform.fileExists(program) && !platform.copyFile(program, file)) return false;
    }
    return platform.writeProfile(kSection, key, value, file);
}

void load(QuizState& state, QuizView& view, Platform& platform) {
    platform.seedRandom();
    state.name = read(platform, kNameKey);
    state.average = read(platform, kAverageKey);
    state.launches = formatNumber(parseNumber(read(platform, kLaunchesKey)) + 1);
    view.showMessage("こんにちわ☆" + state.name + "さん");
    state.score = 0;
}

bool save(QuizState& state, Platform& platform) {
    const std::string score = formatNumber(state.score);
    bool saved = write(platform, kScoreKey, score);
    // The first launch takes the score as it is; later ones move the average
    // halfway towards this run's score.
    state.average = state.launches == "1" ? score : formatNumber((parseNumber(state.average) + state.score) / 2);
    saved = write(platform, kAverageKey, state.average) && saved;
    saved = write(platform, kLaunchesKey, state.launches) && saved;
    return saved;
}

}  // namespace pelmora::record
