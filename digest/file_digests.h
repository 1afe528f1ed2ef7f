// Digests offered for files beside the window's twelve, each as its stream forms
// (stream_forms.h): best first, the portable form last. A stream keeps its state in
// kStreamStateBytes aligned to kStreamStateAlignment and picks the first form whose features
// are usable (cpu/processor.h).
#pragma once

#include <cstddef>

#include "stream_forms.h"

// --- BLAKE2 and BLAKE3 ---------------------------------------------------------------------
// Unkeyed, as lowercase hexadecimal: BLAKE2b-512 in 128 digits and BLAKE2s-256 in 64 (as
// b2sum prints them), BLAKE3 with its default 256-bit output in 64 digits (as b3sum prints).
inline constexpr int kBLAKE2bTextLength = 128;
inline constexpr int kBLAKE2sTextLength = 64;
inline constexpr int kBLAKE3TextLength = 64;

extern const StreamForm kBLAKE2bStreamForms[];
extern const std::size_t kBLAKE2bStreamFormCount;
extern const StreamForm kBLAKE2sStreamForms[];
extern const std::size_t kBLAKE2sStreamFormCount;
extern const StreamForm kBLAKE3StreamForms[];
extern const std::size_t kBLAKE3StreamFormCount;

// BLAKE3 of a range in memory, its tree split in two parts hashed on two threads with the form
// a stream would choose; the same text as the stream. Short ranges stay on the calling thread.
// Writes kBLAKE3TextLength digits and a NUL.
void HashBLAKE3OnTwoThreads(const unsigned char* bytes, std::size_t count, char* text);
// --- end of BLAKE2 and BLAKE3 --------------------------------------------------------------
