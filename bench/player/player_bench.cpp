// Live playback figures: the time PlayModule takes to return (and its two parts, opening the
// device and loading plus prefilling the ring), and the processor time the output thread uses
// while the embedded song plays. Runs on SDL's dummy driver unless SDL_AUDIODRIVER is set.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/types.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "control.h"
#include "embedded_song.h"
#include "output.h"
#include "player.h"
#include "player_state.h"
#include "song.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Stop() {
    PlayModule(nullptr);
}

void BM_PlayModule(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = Clock::now();
        Song* song = PlayModule(EmbeddedSong);
        state.SetIterationTime(SecondsSince(start));
        if (song == nullptr) {
            state.SkipWithError("no device or no song");
            break;
        }
        Stop();
    }
}
BENCHMARK(BM_PlayModule)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

// The first part of a start: the device opened through SDL.
void BM_OpenWaveOutput(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool opened = OpenWaveOutput(44100);
        state.SetIterationTime(SecondsSince(start));
        if (!opened) {
            state.SkipWithError("no device");
            break;
        }
        Stop();
    }
}
BENCHMARK(BM_OpenWaveOutput)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

// The rest: the module parsed, two seconds mixed, the ring handed over and the thread started.
void BM_LoadAndStartPlayback(benchmark::State& state) {
    for (auto _ : state) {
        if (!OpenWaveOutput(44100)) {
            state.SkipWithError("no device");
            break;
        }
        const auto start = Clock::now();
        Song* song = LoadModule(EmbeddedSong);
        Player.loadedSong = song;
        const bool started = StartPlayback(song);
        state.SetIterationTime(SecondsSince(start));
        Stop();
        if (!started) {
            state.SkipWithError("the start failed");
            break;
        }
    }
}
BENCHMARK(BM_LoadAndStartPlayback)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

std::set<std::string> ThreadIds() {
    std::set<std::string> ids;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] != '.') ids.insert(entry->d_name);
        }
        closedir(tasks);
    }
    return ids;
}

std::string ThreadName(const std::string& id) {
    std::ifstream file("/proc/self/task/" + id + "/comm");
    std::string name;
    std::getline(file, name);
    return name;
}

// Processor time of another thread of this process, through Linux's per-thread CPU clock
// (the id pthread_getcpuclockid would give for it).
double ThreadSeconds(pid_t thread) {
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(thread) << 3) | 6u);
    timespec used{};
    if (clock_gettime(clock, &used) != 0) return -1.0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

// Ten seconds of the embedded song: the output thread's and SDL's audio thread's processor
// time as a percentage of one core.
void BM_OutputThreadLoad(benchmark::State& state) {
    for (auto _ : state) {
        const std::set<std::string> before = ThreadIds();
        if (PlayModule(EmbeddedSong) == nullptr) {
            state.SkipWithError("no device or no song");
            break;
        }
        pid_t output = 0;
        pid_t device = 0;
        for (const std::string& id : ThreadIds()) {
            if (before.count(id) != 0) continue;
            if (ThreadName(id).rfind("SDLAudio", 0) == 0) {
                device = static_cast<pid_t>(std::atoi(id.c_str()));
            } else {
                output = static_cast<pid_t>(std::atoi(id.c_str()));
            }
        }
        const double outputStart = ThreadSeconds(output);
        const double deviceStart = ThreadSeconds(device);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double wall = SecondsSince(start);
        state.counters["output_thread_%"] = 100.0 * (ThreadSeconds(output) - outputStart) / wall;
        state.counters["sdl_thread_%"] = 100.0 * (ThreadSeconds(device) - deviceStart) / wall;
        state.SetIterationTime(wall);
        Stop();
    }
}
BENCHMARK(BM_OutputThreadLoad)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
