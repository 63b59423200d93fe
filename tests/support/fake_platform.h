#pragma once
// A platform that records what the logic asks of it, and a view that keeps
// the message panel's text and the level chosen.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "quiz/quiz_view.h"

namespace pelmora::testing {

struct FakePlatform : Platform {
    std::vector<std::string> calls;  // "play <path>", "pointer 500,450", "beep", ...
    std::vector<float> randoms;      // handed out in order, then 0
    std::map<std::string, std::string> profile;  // "path|section|key" -> value
    std::string folder = "/opt/pelmora";
    std::string data = "/home/player/.local/share";
    std::set<std::string> readOnly;  // folders that nothing below may be written in

    bool writable(const std::string& path) const {
        for (const auto& f : readOnly) if (path.rfind(f, 0) == 0) return false;
        return true;
    }

    std::string readProfile(const std::string& s, const std::string& k, const std::string& p) override {
        calls.push_back("read " + k);
        auto it = profile.find(p + "|" + s + "|" + k);
        return it == profile.end() ? "" : it->second;
    }
    bool writeProfile(const std::string& s, const std::string& k, const std::string& v,
                      const std::string& p) override {
        calls.push_back("write " + k + "=" + v);
        if (!writable(p)) return false;
        profile[p + "|" + s + "|" + k] = v;
        return true;
    }
    void playSound(const std::string& path, const std::function<void()>& started) override {
        calls.push_back("play " + path);
        if (started) started();
    }
    void placePointer(int x, int y) override {
        calls.push_back("pointer " + std::to_string(x) + "," + std::to_string(y));
    }
    void beep() override { calls.push_back("beep"); }
    void seedRandom() override { calls.push_back("seed"); }
    float random() override {
        if (randoms.empty()) return 0.0f;
        float r = randoms.front();
        randoms.erase(randoms.begin());
        return r;
    }
    std::string programFolder() override { return folder; }
    bool canWrite(const std::string& p) override { return writable(p + (fileExists(p) ? "" : "/")); }
    std::string dataFolder() override { return data; }
    bool fileExists(const std::string& path) override {
        auto it = profile.lower_bound(path + "|");
        return it != profile.end() && it->first.rfind(path + "|", 0) == 0;
    }
    bool makeFolder(const std::string& f) override { return writable(f + "/"); }
    bool copyFile(const std::string& from, const std::string& to) override {
        calls.push_back("copy " + from + " " + to);
        if (!writable(to)) return false;
        for (const auto& [key, value] : std::map(profile)) {
            if (key.rfind(from + "|", 0) == 0) profile[to + key.substr(from.size())] = value;
        }
        return true;
    }
};

struct FakeView : QuizView {
    std::string message = "ここにもじをいれます！11文字まで一行に可能";
    int level = 1;

    void showMessage(const std::string& text) override { message = text; }
    int selectedLevel() const override { return level; }
};

}  // namespace pelmora::testing
