// The steps of a start and a stop, used by PlayModule and FreeModule.
#pragma once

struct Song;

// StartPlayback resets the song's playback, allocates and prefills both rings, hands the ring
// to the open device and starts the output thread; false when the song is null or any of that
// fails (what it got so far stays in the player's state for the stop path to release).
bool StartPlayback(Song* song);
// Ends the output thread, releases the float ring and takes the ring back from the device;
// false for a null song.
bool StopPlayback(Song* song);
