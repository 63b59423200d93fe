// The sound module's one entry point, which the program looks up by name.
#include "platform/sound.h"

extern "C" __attribute__((visibility("default"))) const pelmora::sound::Entry* pelmora_sound_entry() {
    static const pelmora::sound::Entry entry{&pelmora::sound::play, &pelmora::sound::prepare,
                                             &pelmora::sound::discardPrepared, &pelmora::sound::warmUp,
                                             &pelmora::sound::alert};
    return &entry;
}
