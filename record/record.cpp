#include "record/record.h"

#include "quiz/number.h"

namespace pelmora::record {
namespace {
constexpr const char* kSection = "情報";
}

std::string path(Platform& platform) { return platform.programFolder() + "/date.ini"; }

std::string read(Platform& platform, const std::string& key) {
    return platform.readProfile(kSection, key, path(platform));
}

bool write(Platform& platform, const std::string& key, const std::string& value) {
    return platform.writeProfile(kSection, key, value, path(platform));
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
