// Player control: start, pause and stop of playback; the song's load and release.
//
// A start acquires, in this order: the device, the song, the 16-bit ring with its looping
// header, the float ring, the device's playing of the ring and the output thread. The stop
// form gives all of it back in the opposite order, and so does a start that cannot complete.

#include <cstdint>

#include "control.h"
#include "loader.h"
#include "output.h"
#include "player.h"
#include "player_state.h"
#include "sequencer.h"
#include "win32.h"

PlayerState Player;

namespace {

// The stop form of PlayModule; also undoes a start that failed part way, from whatever state
// it reached, and leaves the player idle.
void StopAndRelease() {
    // A suspended output thread could not see the stop request.
    if (Player.paused != 0) TogglePause();
    FreeModule(Player.loadedSong);
    Player.loadedSong = nullptr;
    if (Player.device != nullptr) {
        waveOutClose(Player.device);
        Player.device = nullptr;
    }
    // The device has let go of the ring by now: reset before it was closed.
    FreeWaveRing();
    Player.header = WAVEHDR{};
}

}  // namespace

Song* PlayModule(const void* image) {
    if (image == nullptr) {
        StopAndRelease();
        return nullptr;
    }
    // A second start while a song is loaded is refused: it would reset the song and the
    // rings under the running output thread.
    if (Player.loadedSong != nullptr) return nullptr;
    // A device left open by a failed load is played on: opening another would lose the
    // first, which nothing could close any more.
    if (Player.device != nullptr) {
        SetOutputParameters(kOutputRate);
    } else if (!OpenWaveOutput(kOutputRate)) {
        return nullptr;
    }
    // deliberate:
    // a module that cannot be loaded leaves the device open; the next start or the stop
    // form takes it from there.
    Song* song = LoadModule(image);
    if (song == nullptr) return nullptr;
    Player.loadedSong = song;
    if (!StartPlayback(song)) {
        StopAndRelease();
        return nullptr;
    }
    return song;
}

int TogglePause() {
    Player.paused = ~Player.paused;
    if (Player.paused != 0) {
        SuspendThread(Player.outputThread);
        waveOutPause(Player.device);
        return 1;
    }
    waveOutRestart(Player.device);
    ResumeThread(Player.outputThread);
    return 0;
}

bool StartPlayback(Song* song) {
    if (song == nullptr) return false;
    // The song's clock, its tempo, the channels linked to their voices; the song becomes the
    // one the block filler plays.
    ResetPlayback(song);
    Player.activeSong = song;

    Player.header = WAVEHDR{};
    if (!AllocateWaveRing()) return false;
    Player.header.lpData = reinterpret_cast<LPSTR>(Player.waveBuffer);
    Player.header.dwBufferLength = static_cast<DWORD>(Player.ringFrames) * 4;
    Player.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    Player.header.dwLoops = 0xFFFFFFFF;
    if (waveOutPrepareHeader(Player.device, &Player.header, sizeof Player.header) !=
        MMSYSERR_NOERROR) {
        return false;
    }

    if (!AllocateMixRing()) return false;

    // The whole ring is mixed here, on the caller's thread, before the device starts.
    Player.writeBlock = 0;
    do {
        FillBlock();
    } while (Player.writeBlock != 0);

    if (waveOutWrite(Player.device, &Player.header, sizeof Player.header) != MMSYSERR_NOERROR) {
        return false;
    }
    Player.stopRequested.store(0);
    // Cleared here, not only by the thread when it starts: a stop that came before the new
    // thread ran would otherwise take the last thread's 1 as this one's end.
    Player.threadFinished.store(0);
    Player.outputThread = CreateThread(nullptr, 0, OutputThreadProc, nullptr, 0, nullptr);
    if (Player.outputThread == nullptr) {
        Player.threadFinished.store(1);
        return false;
    }
    SetThreadPriority(Player.outputThread, THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

bool StopPlayback(Song* song) {
    if (song == nullptr) return false;
    Player.stopRequested.store(1);
    while (Player.filling.load() != 0) {
    }
    if (Player.outputThread != nullptr) {
        while (Player.threadFinished.load() == 0) Sleep(50);
        CloseHandle(Player.outputThread);
        Player.outputThread = nullptr;
    }
    FreeMixRing();
    if (Player.header.lpData != nullptr && Player.device != nullptr) {
        // Hands the looping buffer back; only then may the header be unprepared.
        waveOutReset(Player.device);
        waveOutUnprepareHeader(Player.device, &Player.header, sizeof Player.header);
        Player.header.dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    }
    Player.activeSong = nullptr;
    return true;
}

Song* LoadModule(const void* image) {
    if (image == nullptr) return nullptr;
    auto* song = static_cast<Song*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(Song)));
    auto* reader =
        static_cast<ImageReader*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(ImageReader)));
    // deliberate:
    // every path that fails gives back what it allocated, the song record included.
    if (song == nullptr || reader == nullptr) {
        if (song != nullptr) GlobalFree(song);
        if (reader != nullptr) GlobalFree(reader);
        return nullptr;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = (length << 8) | bytes[i];
    if (length == 0) {
        GlobalFree(reader);
        GlobalFree(song);
        return nullptr;
    }
    reader->base = bytes + 4;
    // The cursor counts in 32-bit signed offsets; an image beyond 2 GiB is read up to there.
    reader->size = length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<std::int32_t>(length);
    reader->position = 0;
    const bool parsed = ParseModule(song, reader);
    GlobalFree(reader);
    if (!parsed) {
        FreeModule(song);
        return nullptr;
    }
    return song;
}

bool FreeModule(Song* song) {
    if (song == nullptr) return false;
    while (Player.filling.load() != 0) {
    }
    // The output stops playing the song before it goes away.
    StopPlayback(song);
    if (song->instruments != nullptr) {
        for (int i = 0; i < song->instrumentCount; ++i) {
            Instrument& instrument = song->instruments[i];
            for (int j = 0; j < instrument.sampleCount && j < kSamplesPerInstrument; ++j) {
                Sample* sample = WritableSample(instrument.samples[j]);
                if (sample == nullptr) continue;
                if (sample->data != nullptr) GlobalFree(sample->data);
                GlobalFree(sample);
            }
        }
        GlobalFree(song->instruments);
    }
    if (song->patterns != nullptr) {
        for (int i = 0; i < song->patternSlotCount; ++i) {
            if (song->patterns[i].cells != nullptr) GlobalFree(song->patterns[i].cells);
        }
        GlobalFree(song->patterns);
    }
    GlobalFree(song);
    return true;
}
