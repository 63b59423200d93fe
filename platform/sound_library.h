#pragma once
// The sound player as the program reaches it: a module of its own beside
// the program (libpelmora_sound.so), loaded by warmUp() once the main window
// shows, or else at the first sound or press of a button that plays one, so
// that start-up never loads libsndfile, its codecs or ALSA. The calls are
// those of platform/sound.h. Where the module cannot be loaded, one line on
// stderr says so (once) and every sound is silent.
#include <functional>
#include <string>

namespace pelmora::sound_library {

void play(const std::string& path, const std::function<void()>& started);
void prepare();
void discardPrepared();
void alert();
// Returns at once; on a thread of its own, loads the module and what the
// first sound would load (sound::warmUp()).
void warmUp();

// Where the module is looked for when the running executable is not in the
// program folder (the tests); only before the first sound.
void setFolder(const std::string& folder);

}  // namespace pelmora::sound_library
