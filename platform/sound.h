#pragma once
// Blocking playback on ALSA's "default" device.
#include <functional>
#include <string>

namespace pelmora::sound {

// Plays a WAV file and returns after its last sample has sounded, and the
// 12 ms of silence the device is given after it. A file that is missing,
// empty or unreadable sounds the alert instead. Without any sound device or
// server it returns at once, silently. A server that stops answering keeps
// the call no longer than the sound's length and 1.5 s more; while a sound
// it holds fast is still inside the device, the next ones return at once.
// `started` runs on the calling thread once the sound has begun, while the
// device plays what it was handed (at once where nothing can sound), so
// that work the caller must do before the call returns, such as painting,
// does not hold back the first sample.
void play(const std::string& path, const std::function<void()>& started = {});

// Opens the device ahead of a sound that is about to be played (the press
// of a button whose click plays a note), so that the next play() starts at
// once: a sound server may take tens of milliseconds to set up a stream
// (PipeWire's session manager links each new one). Both return at once and
// leave the work to the sound thread. play() and alert() take the device
// over; discardPrepared() closes it unused. Nothing is kept open between
// sounds otherwise. From prepare() or the start of a sound to its end (or
// discardPrepared()), the program's threads run real-time where the player
// may have it (platform/realtime.h).
void prepare();
void discardPrepared();

// Loads, on the calling thread, what the first sound of the process would
// otherwise load as it starts (some 5 to 10 ms): the device is opened and
// closed at once, unconfigured, so that no stream is made and nothing stays
// open. Real time is asked for ahead too, where RealtimeKit grants it.
void warmUp();

// The desktop's alert sound (the sound theme's bell, or a short generated
// beep where the theme is absent); returns when it has sounded.
void alert();

// What the sound module hands the program (platform/sound_library.h), from
// the function of this name.
struct Entry {
    void (*play)(const std::string& path, const std::function<void()>& started);
    void (*prepare)();
    void (*discardPrepared)();
    void (*warmUp)();
    void (*alert)();
};
inline constexpr const char* kEntry = "pelmora_sound_entry";

}  // namespace pelmora::sound
