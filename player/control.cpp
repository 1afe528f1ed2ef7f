// Player control: start, pause and stop of playback; the song's load and release.
#include "player.h"
#include "player_state.h"

PlayerState Player;

// Placeholder until the output machinery exists: no music is started.
Song* PlayModule(const void*) {
    return nullptr;
}
