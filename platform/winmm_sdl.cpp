// Wave output of winmm over SDL2 audio.
//
// Each HWAVEOUT owns one SDL playback device in exactly the PCM format it was opened with.
// SDL's audio thread pulls bytes through FeedDevice from a queue of written headers; a header
// flagged WHDR_BEGINLOOP | WHDR_ENDLOOP is replayed dwLoops times (0xFFFFFFFF: for centuries)
// before it is handed back as done. The position counts the bytes handed to SDL since the
// device was opened or last reset: a looping buffer's bytes that the position has passed may
// be rewritten until the loop comes round to them again.
// Everything the callback touches is guarded by SDL's device lock, which SDL holds around
// each call of the callback.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "suspend_point.h"
#include "win32.h"

struct HWAVEOUT__ {
    SDL_AudioDeviceID sdlDevice = 0;
    DWORD blockAlign = 0;
    Uint8 silence = 0;

    // Guarded by the device lock:
    WAVEHDR* queueHead = nullptr;  // playing now; the rest are chained through lpNext
    WAVEHDR* queueTail = nullptr;
    DWORD playOffset = 0;  // next byte of queueHead to hand to SDL
    DWORD playsLeft = 0;   // passes of queueHead still to start after this one
    DWORD position = 0;    // bytes played since open or reset; wraps like Windows' DWORD
};

namespace {

constexpr DWORD kLoopFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
constexpr DWORD kLowestRate = 1000;
constexpr DWORD kHighestRate = 384000;

// SDL's init and quit counting and its table of open devices are not thread-safe.
std::mutex sdlAudioUse;

class DeviceLock {
public:
    explicit DeviceLock(HWAVEOUT device) : device_(device->sdlDevice) {
        SDL_LockAudioDevice(device_);
    }
    ~DeviceLock() { SDL_UnlockAudioDevice(device_); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID device_;
};

// SDL is asked for callbacks of about 20 ms: the smallest power of two frames covering it.
// SDL's dummy driver paces itself correctly only with power-of-two sizes.
Uint16 CallbackFrames(DWORD rate) {
    Uint16 frames = 16;
    while (frames < rate / 50) frames = static_cast<Uint16>(frames * 2);
    return frames;
}

// PCM with 1 or 2 channels of 8 or 16 bits, consistent sizes and a sensible rate.
bool DescribeFormat(const WAVEFORMATEX& format, SDL_AudioSpec& sdlFormat) {
    if (format.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (format.nChannels != 1 && format.nChannels != 2) return false;
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return false;
    const DWORD frameBytes = format.nChannels * format.wBitsPerSample / 8u;
    if (format.nBlockAlign != frameBytes) return false;
    if (format.nSamplesPerSec < kLowestRate || format.nSamplesPerSec > kHighestRate) return false;
    if (format.nAvgBytesPerSec != format.nSamplesPerSec * frameBytes) return false;
    sdlFormat.freq = static_cast<int>(format.nSamplesPerSec);
    sdlFormat.format = format.wBitsPerSample == 16 ? AUDIO_S16LSB : AUDIO_U8;
    sdlFormat.channels = static_cast<Uint8>(format.nChannels);
    sdlFormat.samples = CallbackFrames(format.nSamplesPerSec);
    return true;
}

bool ValidHeader(const WAVEHDR* header, UINT headerSize) {
    return header != nullptr && headerSize >= sizeof(WAVEHDR);
}

// Whole frames only: a partial frame at the end would shift every following frame.
DWORD PlayableBytes(const HWAVEOUT__* device, const WAVEHDR* header) {
    if (header->lpData == nullptr) return 0;
    return header->dwBufferLength - header->dwBufferLength % device->blockAlign;
}

void BeginHeader(HWAVEOUT__* device) {
    device->playOffset = 0;
    const WAVEHDR* header = device->queueHead;
    const bool loops = header != nullptr && (header->dwFlags & kLoopFlags) == kLoopFlags;
    device->playsLeft = loops && header->dwLoops > 1 ? header->dwLoops - 1 : 0;
}

void HandBack(WAVEHDR* header) {
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(WHDR_INQUEUE)) | WHDR_DONE;
    header->lpNext = nullptr;
}

void SDLCALL FeedDevice(void* userdata, Uint8* stream, int length) {
    auto* device = static_cast<HWAVEOUT__*>(userdata);
    DWORD wanted = static_cast<DWORD>(length);
    while (wanted > 0 && device->queueHead != nullptr) {
        WAVEHDR* header = device->queueHead;
        const DWORD playable = PlayableBytes(device, header);
        const DWORD left = playable > device->playOffset ? playable - device->playOffset : 0;
        const DWORD chunk = std::min(left, wanted);
        if (chunk > 0) std::memcpy(stream, header->lpData + device->playOffset, chunk);
        stream += chunk;
        wanted -= chunk;
        device->playOffset += chunk;
        device->position += chunk;
        if (chunk < left) break;
        if (device->playsLeft > 0 && playable > 0) {
            --device->playsLeft;
            device->playOffset = 0;
            continue;
        }
        device->queueHead = header->lpNext;
        if (device->queueHead == nullptr) device->queueTail = nullptr;
        HandBack(header);
        BeginHeader(device);
    }
    if (wanted > 0) std::memset(stream, device->silence, wanted);
}

}  // namespace

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT device, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR,
                            DWORD_PTR, DWORD flags) {
    if (device == nullptr || format == nullptr) return MMSYSERR_INVALPARAM;
    *device = nullptr;
    // Completion callbacks and events are not offered: the caller polls the position.
    if (flags != CALLBACK_NULL) return MMSYSERR_INVALPARAM;
    // The system's default output is the only device, reachable as 0 or through the mapper.
    if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
    SDL_AudioSpec wanted{};
    if (!DescribeFormat(*format, wanted)) return WAVERR_BADFORMAT;

    auto* opened = new (std::nothrow) HWAVEOUT__;
    if (opened == nullptr) return MMSYSERR_NOMEM;
    opened->blockAlign = format->nBlockAlign;
    wanted.callback = FeedDevice;
    wanted.userdata = opened;

    std::lock_guard hold(sdlAudioUse);
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that nobody reads, and the
    // program would outlive kill, Ctrl+C and the end of a session. The window layer handles
    // these signals itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        delete opened;
        return MMSYSERR_NODRIVER;
    }
    // Without sound hardware the subsystem starts but no device opens.
    SDL_AudioSpec obtained{};
    opened->sdlDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (opened->sdlDevice == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        delete opened;
        return MMSYSERR_ALLOCATED;
    }
    opened->silence = obtained.silence;
    // The device runs from the start, playing silence until a header is written, as a
    // Windows device that was never paused.
    SDL_PauseAudioDevice(opened->sdlDevice, 0);
    *device = opened;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT headerSize) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, headerSize)) return MMSYSERR_INVALPARAM;
    if (header->lpData == nullptr && header->dwBufferLength > 0) return MMSYSERR_INVALPARAM;
    DeviceLock hold(device);
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT headerSize) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, headerSize)) return MMSYSERR_INVALPARAM;
    DeviceLock hold(device);
    if ((header->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT headerSize) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, headerSize)) return MMSYSERR_INVALPARAM;
    DeviceLock hold(device);
    if ((header->dwFlags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
    if ((header->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(WHDR_DONE)) | WHDR_INQUEUE;
    header->lpNext = nullptr;
    if (device->queueTail == nullptr) {
        device->queueHead = header;
        device->queueTail = header;
        BeginHeader(device);
    } else {
        device->queueTail->lpNext = header;
        device->queueTail = header;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutGetPosition(HWAVEOUT device, LPMMTIME time, UINT timeSize) {
    // The output thread spends its time here and in Sleep: a suspended caller stops here.
    WaitWhileSuspended();
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (time == nullptr || timeSize < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
    DWORD bytes = 0;
    {
        DeviceLock hold(device);
        bytes = device->position;
    }
    switch (time->wType) {
        case TIME_SAMPLES: time->u.sample = bytes / device->blockAlign; break;
        default:
            // As Windows does with a format it does not offer (milliseconds among them):
            // answer in bytes and say so.
            time->wType = TIME_BYTES;
            time->u.cb = bytes;
            break;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPause(HWAVEOUT device) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    // Once this returns SDL calls FeedDevice no more, so the position stands still.
    SDL_PauseAudioDevice(device->sdlDevice, 1);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutRestart(HWAVEOUT device) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    SDL_PauseAudioDevice(device->sdlDevice, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT device) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    DeviceLock hold(device);
    WAVEHDR* header = device->queueHead;
    while (header != nullptr) {
        WAVEHDR* next = header->lpNext;
        HandBack(header);
        header = next;
    }
    device->queueHead = nullptr;
    device->queueTail = nullptr;
    BeginHeader(device);
    device->position = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT device) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    {
        // As on Windows, a device still holding headers must be reset first: SDL would
        // otherwise go on reading buffers their owner is about to free.
        DeviceLock hold(device);
        if (device->queueHead != nullptr) return WAVERR_STILLPLAYING;
    }
    std::lock_guard hold(sdlAudioUse);
    SDL_CloseAudioDevice(device->sdlDevice);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    delete device;
    return MMSYSERR_NOERROR;
}
