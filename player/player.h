// The module player's face towards the rest of the program.
#pragma once

struct Song;

// With a length-prefixed module image (32-bit little-endian byte count, then the XM bytes):
// opens the wave device, loads the module, mixes the first two seconds and starts the output
// thread; returns the song, or null when the device cannot be opened or the module cannot be
// played. With null: stops playback and releases everything; the result carries no meaning.
Song* PlayModule(const void* image);

// Pauses a playing player or resumes a paused one; 1 when now paused, 0 when now playing.
int TogglePause();

// The steps of a start and a stop, used by PlayModule and FreeModule.
// StartPlayback resets the song's playback, allocates and prefills both rings, hands the ring
// to the open device and starts the output thread; false when the song is null or any of that
// fails (what it got so far stays in the player's state for the stop path to release).
bool StartPlayback(Song* song);
// Ends the output thread, releases the float ring and takes the ring back from the device;
// false for a null song.
bool StopPlayback(Song* song);
