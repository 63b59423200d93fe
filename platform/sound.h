#pragma once
// Blocking playback on ALSA's "default" device.
#include <string>

namespace pelmora::sound {

// Plays a WAV file and returns after its last sample has sounded. A file
// that is missing, empty or unreadable sounds the alert instead. Without any
// sound device or server it returns at once, silently.
void play(const std::string& path);

// The desktop's alert sound (the sound theme's bell, or a short generated
// beep where the theme is absent); returns when it has sounded.
void alert();

}  // namespace pelmora::sound
