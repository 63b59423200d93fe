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

void load(QuizView& view, Platform& platform) {
    platform.seedRandom();
    view.setText(Field::Name, read(platform, kNameKey));
    view.setText(Field::Average, read(platform, kAverageKey));
    view.setText(Field::Launches, read(platform, kLaunchesKey));
    view.setText(Field::Message, "こんにちわ☆" + view.text(Field::Name) + "さん");
    view.setText(Field::Score, "0");
    view.setText(Field::Launches, formatNumber(parseNumber(view.text(Field::Launches)) + 1));
}

bool save(QuizView& view, Platform& platform) {
    bool saved = write(platform, kScoreKey, view.text(Field::Score));
    // The first launch takes the score as it is; later ones move the average
    // halfway towards this run's score.
    if (view.text(Field::Launches) == "1") {
        view.setText(Field::Average, view.text(Field::Score));
    } else {
        const double average = parseNumber(view.text(Field::Average));
        const double score = parseNumber(view.text(Field::Score));
        view.setText(Field::Average, formatNumber((average + score) / 2));
    }
    saved = write(platform, kAverageKey, view.text(Field::Average)) && saved;
    saved = write(platform, kLaunchesKey, view.text(Field::Launches)) && saved;
    return saved;
}

}  // namespace pelmora::record
