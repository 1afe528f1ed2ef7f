// The block loop: the wave device and the output thread that keeps its looping ring filled,
// output parameters derived from the rate, the tick clock, the filling of one ring block (tick
// callbacks between mixer runs) and the conversion to 16-bit PCM.
#include "output.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "mix_kernels.h"
#include "mixer.h"
#include "player_state.h"
#include "song.h"

namespace {

constexpr std::int32_t kBlockMilliseconds = 20;
constexpr std::int32_t kRingSeconds = 2;
constexpr DWORD kPollMilliseconds = 5;
constexpr std::uint64_t kFrameBytes = 4;  // 16-bit stereo

}  // namespace

bool OpenWaveOutput(std::int32_t rate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * kFrameBytes;
    format.nBlockAlign = kFrameBytes;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    if (waveOutOpen(&Player.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) !=
        MMSYSERR_NOERROR) {
        Player.device = nullptr;
        return false;
    }
    SetOutputParameters(rate);
    return true;
}

std::int32_t FollowDevicePosition(DevicePosition& position, std::uint32_t deviceBytes) {
    // Unsigned subtraction gives the bytes played since the last poll across a wrap as well.
    position.totalBytes += static_cast<std::uint32_t>(deviceBytes - position.lastBytes);
    position.lastBytes = deviceBytes;
    if (Player.ringFrames < 1 || Player.blockFrames < 1) return 0;
    const std::uint64_t frame = position.totalBytes / kFrameBytes;
    return static_cast<std::int32_t>(frame % static_cast<std::uint64_t>(Player.ringFrames)) /
           Player.blockFrames;
}

DWORD WINAPI OutputThreadProc(LPVOID) {
    Player.threadFinished.store(0);
    DevicePosition position;
    while (Player.stopRequested.load() == 0) {
        MMTIME time{};
        time.wType = TIME_BYTES;
        waveOutGetPosition(Player.device, &time, sizeof time);
        const std::int32_t playing = FollowDevicePosition(position, time.u.cb);
        // The block being played keeps what it holds; every block behind it is mixed afresh.
        while (Player.writeBlock.load(std::memory_order_relaxed) != playing) {
            Player.filling.store(1);
            FillBlock();
            Player.filling.store(0);
        }
        Sleep(kPollMilliseconds);
    }
    Player.threadFinished.store(1);
    ExitThread(0);
}

void SetOutputParameters(std::int32_t rate) {
    // deliberate:
    // rates too low to give a block still give one, so that the block loop always advances.
    if (rate < 1) rate = 1;
    const std::int64_t rawBlock = std::int64_t{rate} * kBlockMilliseconds / 1000;
    std::int32_t blockFrames = static_cast<std::int32_t>((rawBlock + 3) & ~std::int64_t{3});
    if (blockFrames < 4) blockFrames = 4;
    Player.blockFrames = blockFrames;
    Player.ringFrames = kRingSeconds * (1000 / kBlockMilliseconds) * blockFrames;
    Player.nBlocks = Player.ringFrames / Player.blockFrames;
    ResetMixer(Player.mixer, rate);
}

bool AllocateWaveRing() {
    Player.waveBuffer = static_cast<std::int16_t*>(
        GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(Player.ringFrames) * 4));
    return Player.waveBuffer != nullptr;
}

bool AllocateMixRing() {
    Player.mixBufferAllocation =
        GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(Player.ringFrames) * 8 + 256);
    if (Player.mixBufferAllocation == nullptr) return false;
    const auto address = reinterpret_cast<std::uintptr_t>(Player.mixBufferAllocation);
    Player.mixBuffer = reinterpret_cast<float*>((address + 15) & ~static_cast<std::uintptr_t>(15));
    return true;
}

void FreeWaveRing() {
    if (Player.waveBuffer != nullptr) GlobalFree(Player.waveBuffer);
    Player.waveBuffer = nullptr;
}

void FreeMixRing() {
    if (Player.mixBufferAllocation != nullptr) GlobalFree(Player.mixBufferAllocation);
    Player.mixBufferAllocation = nullptr;
    Player.mixBuffer = nullptr;
}

void FillBlock() {
    const std::int32_t blockFrames = Player.blockFrames;
    if (Player.mixBuffer == nullptr || blockFrames < 1) return;
    const std::int32_t block = Player.writeBlock.load(std::memory_order_relaxed);
    const std::int32_t start = block * blockFrames;
    float* mix = Player.mixBuffer + 2 * static_cast<std::ptrdiff_t>(start);
    std::memset(mix, 0, sizeof(float) * 2 * static_cast<std::size_t>(blockFrames));

    Song* song = Player.activeSong;
    if (song != nullptr) {
        std::int32_t left = song->tickFramesLeft;
        std::int32_t done = 0;
        float* destination = mix;
        while (done < blockFrames) {
            if (left <= 0) {
                if (song->tickCallback != nullptr) song->tickCallback(song);
                // Read after the callback: a tempo change applies to the tick starting now.
                left = song->tickLength > 0 ? song->tickLength : 1;
            }
            const std::int32_t n = left < blockFrames - done ? left : blockFrames - done;
            MixVoices(Player.mixer, destination, n);
            done += n;
            left -= n;
            destination += 2 * static_cast<std::ptrdiff_t>(n);
        }
        song->tickFramesLeft = left;
    }

    if (Player.waveBuffer != nullptr) {
        ConvertBlock(Player.waveBuffer + 2 * static_cast<std::ptrdiff_t>(start), mix, blockFrames);
    }
    const std::int32_t next = block + 1 < Player.nBlocks ? block + 1 : 0;
    Player.writeBlock.store(next, std::memory_order_release);
}

void ConvertBlock(std::int16_t* destination, const float* source, std::int32_t frames) {
    if (frames <= 0 || destination == nullptr || source == nullptr) return;
    ActiveMixKernels().convert(destination, source, frames * 2);
}
