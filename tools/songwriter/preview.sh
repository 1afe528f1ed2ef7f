#!/usr/bin/env bash
# Recomposes resources/song.xm, renders one pass and the loop to build/song-preview.wav and
# draws its spectrogram to build/song-preview.png (needs sox). Run from anywhere.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset dev > /dev/null
cmake --build --preset dev -j2 --target songwriter xmrender > /dev/null
./build/tools/songwriter/songwriter resources/song.xm
./build/xmrender/xmrender resources/song.xm build/song-preview.wav 150
sox build/song-preview.wav -n stats 2>&1 | grep -E "Pk lev dB|RMS lev dB"
sox build/song-preview.wav -n remix - spectrogram -x 1500 -y 400 -z 80 -t "song.xm" -o build/song-preview.png
echo "build/song-preview.wav, build/song-preview.png"
