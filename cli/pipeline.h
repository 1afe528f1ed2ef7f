// The reading pipeline: each input is read once, in large blocks, into a small ring; worker
// threads feed every selected algorithm from the same blocks, each algorithm taking the blocks
// in order, and an algorithm runs on one worker at a time, so several algorithms spread over
// the processors and one algorithm's hashing overlaps the reading of the next blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithms.h"
#include "file_io.h"

// The texts of a run, indexed by table order; only the selected entries are written.
struct DigestTexts {
    char text[kDigestCount][kLongestStreamTextBytes];
    std::uint64_t byteCount = 0;  // bytes hashed, which cksum's line form shows
};

// Bytes of one read and of one hand-off to the workers. The ring holds kRingBlocks of them,
// which bounds the memory the tool needs whatever the size of its inputs.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr int kRingBlocks = 8;

struct HashPipeline;

// Starts `workers` threads that serve every input hashed through the pipeline.
HashPipeline* CreateHashPipeline(unsigned workers);
void DestroyHashPipeline(HashPipeline* pipeline);

// Called on the reading thread between blocks with the bytes every algorithm has taken.
struct ProgressSink {
    void (*report)(void* context, std::uint64_t bytesDone) = nullptr;
    void* context = nullptr;
};

// Hashes all that remains of `file` with each algorithm of `algorithms`. On a read error
// returns false with the C error number in *error; the texts are then not written.
bool HashFile(HashPipeline* pipeline, const InputFile& file, AlgorithmSet algorithms,
              DigestTexts* texts, int* error, ProgressSink progress = {});

// Hashes bytes already in memory, on the calling thread.
void HashBytes(const void* bytes, std::size_t count, AlgorithmSet algorithms, DigestTexts* texts);
