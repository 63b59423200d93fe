#include "platform/sound_library.h"

#include <dlfcn.h>

#include <iostream>
#include <thread>

#include "platform/sound.h"
#include "platform/system_platform.h"

namespace pelmora::sound_library {
namespace {

std::string& folder() {
    static std::string folder = executableFolder();
    return folder;
}

const sound::Entry* entry() {
    static const sound::Entry* const loaded = []() -> const sound::Entry* {
        const std::string path = folder() + "/libpelmora_sound.so";
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        auto* get = module ? reinterpret_cast<const sound::Entry* (*)()>(dlsym(module, sound::kEntry)) : nullptr;
        if (!get) {
            const char* why = dlerror();
            std::cerr << "pelmora: no sound, the sound module did not load: " << (why ? why : path) << '\n';
            return nullptr;
        }
        return get();
    }();
    return loaded;
}

}  // namespace

void play(const std::string& path, const std::function<void()>& started) {
    if (const sound::Entry* e = entry()) e->play(path, started);
    else if (started) started();
}

void prepare() {
    if (const sound::Entry* e = entry()) e->prepare();
}

void discardPrepared() {
    if (const sound::Entry* e = entry()) e->discardPrepared();
}

void warmUp() {
    // Away from the window's thread, which a stalled server would hold;
    // detached, so that the program may end meanwhile.
    std::thread([] {
        if (const sound::Entry* e = entry()) e->warmUp();
    }).detach();
}

void alert() {
    if (const sound::Entry* e = entry()) e->alert();
}

void setFolder(const std::string& programFolder) { folder() = programFolder; }

}  // namespace pelmora::sound_library
