// Shared pieces of the wave output tests: the player's device format and a position query.
#pragma once

#include <gtest/gtest.h>

#include "win32.h"

namespace test_support {

constexpr DWORD kRate = 44100;
constexpr DWORD kFrameBytes = 4;
constexpr DWORD kBytesPerSecond = kRate * kFrameBytes;

inline WAVEFORMATEX StereoFormat(DWORD rate = kRate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = rate;
    format.nAvgBytesPerSec = rate * kFrameBytes;
    format.nBlockAlign = kFrameBytes;
    format.wBitsPerSample = 16;
    return format;
}

inline WAVEHDR LoopingHeader(char* data, DWORD bytes) {
    WAVEHDR header{};
    header.lpData = data;
    header.dwBufferLength = bytes;
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 0xFFFFFFFF;
    return header;
}

inline DWORD BytePosition(HWAVEOUT device) {
    MMTIME time{};
    time.wType = TIME_BYTES;
    EXPECT_EQ(waveOutGetPosition(device, &time, sizeof time),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(time.wType, static_cast<UINT>(TIME_BYTES));
    return time.u.cb;
}

}  // namespace test_support
