// The purpose-made songs whose traces are kept as golden files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "test_song.h"

struct GoldenSong {
    std::string name;  // the golden file is golden/<name>.txt
    std::unique_ptr<TestSong> song;
    int seconds;
};

std::vector<GoldenSong> GoldenSongs();
