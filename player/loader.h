// The XM parser's read cursor and entry point, used by LoadModule and by the loader's tests.
#pragma once

#include <cstdint>

struct Song;

// A read cursor over one module image: base is the first XM byte, 0 <= position <= size.
struct ImageReader {
    const std::uint8_t* base;
    std::int32_t size;
    std::int32_t position;
};

// Copies up to count bytes from the cursor into destination and advances past them; at
// the end of the image fewer (possibly none) are copied and the rest of destination keeps
// its contents. Returns the number copied; does nothing for a null reader.
std::int32_t ReadImage(ImageReader* reader, void* destination, std::int32_t count);

// What a seek's offset counts from.
enum class SeekOrigin { kStart = 0, kCurrent = 1, kEnd = 2 };

// Moves the cursor to `offset` from `origin`. The result is held within 0..size.
void SeekImage(ImageReader* reader, std::int64_t offset, SeekOrigin origin);

// Fills a zero-filled song from the image; false when the module cannot be played. After a
// failure the song may be partly built and is released with FreeModule.
bool ParseModule(Song* song, ImageReader* reader);
