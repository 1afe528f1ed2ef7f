// The XM loader: the read cursor over a module image and the parser that builds the song
// model (patterns, instruments, samples) from it, holding every count and index it keeps
// within the tables and buffers the player reads.
#include "loader.h"

#include <cstring>

#include "song.h"
#include "win32.h"

Sample EmptySample{};
Instrument EmptyInstrument{};

namespace {

constexpr char kModuleId[] = "Extended Module: ";
constexpr std::int32_t kModuleIdLength = 17;
constexpr std::int64_t kHeaderSizeOffset = 60;
constexpr std::int32_t kPatternHeaderBytes = 9;
constexpr std::int32_t kSampleHeaderBytes = 40;
constexpr std::int32_t kInstrumentNameAndTypeBytes = 23;
constexpr std::uint8_t kInitialGlobalVolume = 64;

// Order entries are bytes: pattern numbers from 256 on can never be played.
constexpr std::int32_t kMaxPatternSlots = 256;
// The format's largest pattern; rows beyond it are read past and dropped.
constexpr std::int32_t kMaxRows = 256;
// Rows of a pattern the order table names but the file lacks, and of a pattern whose
// header says 0 rows.
constexpr std::int32_t kEmptyPatternRows = 64;
// Cells name instruments 1..128 at most: later instruments can never be played.
constexpr std::int32_t kMaxInstruments = 128;
constexpr std::int32_t kMaxInstrumentNumber = 128;
constexpr std::uint8_t kMaxNote = 96;
constexpr std::uint8_t kFileKeyOff = 97;
// Far above any real sample; keeps positions well inside the mixer's signed arithmetic.
constexpr std::uint32_t kMaxSampleFrames = std::uint32_t{1} << 30;
// What a header tempo or speed of 0 is played as: the tracker's defaults for a new song.
constexpr std::uint16_t kFallbackSpeed = 6;
constexpr std::uint16_t kFallbackBpm = 125;
constexpr std::uint16_t kMaxHeaderWord = 32767;  // the largest value the int16 fields hold

void* AllocateZeroed(std::size_t bytes) {
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
}

std::uint16_t Little16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t Little32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
           (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
}

std::uint16_t Read16(ImageReader* reader) {
    std::uint8_t bytes[2] = {};
    ReadImage(reader, bytes, 2);
    return Little16(bytes);
}

std::uint32_t Read32(ImageReader* reader) {
    std::uint8_t bytes[4] = {};
    ReadImage(reader, bytes, 4);
    return Little32(bytes);
}

bool AtEnd(const ImageReader* reader) {
    return reader->position >= reader->size;
}

// Decodes one packed cell: a mask byte naming the fields that follow, or a note followed
// by all four other fields.
Cell ReadCell(ImageReader* reader) {
    Cell cell{};
    std::uint8_t lead = 0;
    ReadImage(reader, &lead, 1);
    if ((lead & 0x80) != 0) {
        if ((lead & 0x01) != 0) ReadImage(reader, &cell.note, 1);
        if ((lead & 0x02) != 0) ReadImage(reader, &cell.instrument, 1);
        if ((lead & 0x04) != 0) ReadImage(reader, &cell.volumeCommand, 1);
        if ((lead & 0x08) != 0) ReadImage(reader, &cell.effect, 1);
        if ((lead & 0x10) != 0) ReadImage(reader, &cell.effectParam, 1);
    } else {
        std::uint8_t rest[4] = {};
        ReadImage(reader, rest, 4);
        cell.note = lead;
        cell.instrument = rest[0];
        cell.volumeCommand = rest[1];
        cell.effect = rest[2];
        cell.effectParam = rest[3];
    }
    if (cell.note == kFileKeyOff) {
        cell.note = kNoteKeyOff;
    } else if (cell.note > kMaxNote && cell.note != kNoteKeyOff) {
        // No note exists there; the cell is played as one without a note.
        cell.note = 0;
    }
    if (cell.instrument > kMaxInstrumentNumber) cell.instrument = 0;
    return cell;
}

// Reads one pattern from the file. `pattern` is null for a pattern that cannot be played;
// its bytes are still read past.
bool ReadPattern(ImageReader* reader, Pattern* pattern, std::int32_t channelCount) {
    std::uint8_t header[kPatternHeaderBytes] = {};
    ReadImage(reader, header, kPatternHeaderBytes);
    const std::int32_t fileRows = Little16(header + 5);
    const std::uint16_t packedSize = Little16(header + 7);
    const std::int64_t fileCells = std::int64_t{fileRows} * channelCount;

    std::int64_t keptCells = 0;
    if (pattern != nullptr) {
        std::int32_t rows = fileRows;
        if (rows == 0) rows = kEmptyPatternRows;
        if (rows > kMaxRows) rows = kMaxRows;
        keptCells = std::int64_t{rows} * channelCount;
        pattern->cells =
            static_cast<Cell*>(AllocateZeroed(static_cast<std::size_t>(keptCells) * sizeof(Cell)));
        if (pattern->cells == nullptr) return false;
        pattern->rowCount = rows;
    }
    if (packedSize == 0 || fileCells == 0) return true;
    for (std::int64_t i = 0; i < fileCells; ++i) {
        // Past the end every further cell would decode as empty, as the cells already are.
        if (AtEnd(reader)) break;
        const Cell cell = ReadCell(reader);
        if (i < keptCells) pattern->cells[i] = cell;
    }
    return true;
}

void ReadEnvelope(ImageReader* reader, EnvelopePoint* points) {
    std::uint8_t bytes[kEnvelopePointCount * 4] = {};
    ReadImage(reader, bytes, sizeof bytes);
    for (int i = 0; i < kEnvelopePointCount; ++i) {
        points[i].x = Little16(bytes + 4 * i);
        points[i].y = Little16(bytes + 4 * i + 2);
    }
}

// Holds an envelope's point count and its sustain and loop indices within the points used.
void ClampEnvelope(std::uint8_t* pointCount, std::uint8_t* sustain, std::uint8_t* loopStart,
                   std::uint8_t* loopEnd, std::uint8_t* type) {
    if (*pointCount > kEnvelopePointCount) *pointCount = kEnvelopePointCount;
    const std::uint8_t last = *pointCount > 0 ? static_cast<std::uint8_t>(*pointCount - 1) : 0;
    if (*sustain > last) *sustain = last;
    if (*loopStart > last) *loopStart = last;
    if (*loopEnd > last) *loopEnd = last;
    if (*pointCount < 2) *type = 0;
}

void ReadInstrumentHeader(ImageReader* reader, Instrument* instrument) {
    Read32(reader);  // sample header size: always taken as 40
    ReadImage(reader, instrument->sampleMap, kSampleMapSize);
    ReadEnvelope(reader, instrument->volumeEnvelope);
    ReadEnvelope(reader, instrument->panningEnvelope);
    std::uint8_t tail[16] = {};
    ReadImage(reader, tail, sizeof tail);
    instrument->volumePointCount = tail[0];
    instrument->panningPointCount = tail[1];
    instrument->volumeSustainPoint = tail[2];
    instrument->volumeLoopStart = tail[3];
    instrument->volumeLoopEnd = tail[4];
    instrument->panningSustainPoint = tail[5];
    instrument->panningLoopStart = tail[6];
    instrument->panningLoopEnd = tail[7];
    instrument->volumeType = tail[8];
    instrument->panningType = tail[9];
    instrument->autoVibratoType = tail[10];
    instrument->autoVibratoSweep = tail[11];
    instrument->autoVibratoDepth = tail[12];
    instrument->autoVibratoRate = tail[13];
    instrument->fadeout = static_cast<std::uint16_t>(2 * Little16(tail + 14));
    ClampEnvelope(&instrument->volumePointCount, &instrument->volumeSustainPoint,
                  &instrument->volumeLoopStart, &instrument->volumeLoopEnd,
                  &instrument->volumeType);
    ClampEnvelope(&instrument->panningPointCount, &instrument->panningSustainPoint,
                  &instrument->panningLoopStart, &instrument->panningLoopEnd,
                  &instrument->panningType);
}

void ReadSampleHeader(ImageReader* reader, Sample* sample) {
    std::uint8_t header[kSampleHeaderBytes] = {};
    ReadImage(reader, header, kSampleHeaderBytes);
    sample->length = Little32(header);
    sample->loopStart = Little32(header + 4);
    sample->loopLength = Little32(header + 8);
    sample->volume = header[12];
    sample->finetune = static_cast<std::int8_t>(header[13]);
    const std::uint8_t type = header[14];
    sample->panning = header[15];
    sample->relativeNote = static_cast<std::int8_t>(header[16]);

    sample->loopKind = kLoopNone;
    sample->bits = 8;
    if ((type & 0x01) != 0) sample->loopKind = kLoopForward;
    if ((type & 0x02) != 0) sample->loopKind = kLoopPingPong;
    if ((type & 0x10) != 0) sample->bits = 16;
    if (sample->loopKind == kLoopNone) {
        sample->loopStart = 0;
        sample->loopLength = sample->length;
    }
    if (sample->bits == 16) {
        sample->length >>= 1;
        sample->loopStart >>= 1;
        sample->loopLength >>= 1;
    }
    if (sample->loopLength == 0) {
        sample->loopStart = 0;
        sample->loopLength = sample->length;
        sample->loopKind = kLoopNone;
    }
}

// Keeps the loop inside the sample: a loop that starts beyond the last frame becomes no
// loop, one that ends beyond it ends at it; a sample without loop spans its whole length.
void ClampLoop(Sample* sample) {
    if (sample->loopKind != kLoopNone) {
        if (sample->loopStart >= sample->length) {
            sample->loopKind = kLoopNone;
        } else if (std::uint64_t{sample->loopStart} + sample->loopLength > sample->length) {
            sample->loopLength = sample->length - sample->loopStart;
        }
    }
    if (sample->loopKind == kLoopNone) {
        sample->loopStart = 0;
        sample->loopLength = sample->length;
    }
}

// Reads and decodes one sample's delta-coded data, widening 8-bit data to 16 bits.
bool ReadSampleData(ImageReader* reader, Sample* sample) {
    if (sample->length == 0) return true;
    // A header may claim more data than the image holds; what is missing would read as
    // zeros, so the sample is cut where the image ends instead of allocating for it.
    const std::uint32_t bytesLeft = static_cast<std::uint32_t>(reader->size - reader->position);
    const std::uint32_t framesLeft = sample->bits == 16 ? bytesLeft / 2 : bytesLeft;
    if (sample->length > framesLeft) sample->length = framesLeft;
    if (sample->length > kMaxSampleFrames) sample->length = kMaxSampleFrames;
    if (sample->length == 0) return true;

    const std::uint32_t length = sample->length;
    auto* data = static_cast<std::int16_t*>(
        AllocateZeroed(2 * std::size_t{length} + kSampleSlackBytes));
    if (data == nullptr) return false;
    auto* bytes = reinterpret_cast<std::uint8_t*>(data);
    if (sample->bits == 16) {
        // deliberate:
        // an odd byte count loses its last byte, which the next sample then reads as its first.
        ReadImage(reader, bytes, static_cast<std::int32_t>(2 * length));
        for (std::uint32_t i = 0; i < length; ++i) {
            data[i] = static_cast<std::int16_t>(Little16(bytes + 2 * i));
        }
    } else {
        ReadImage(reader, bytes, static_cast<std::int32_t>(length));
        // Widen in place from the last byte down: value i lands on bytes 2i and 2i+1, which
        // hold only bytes already widened.
        for (std::uint32_t i = length; i-- > 0;) {
            data[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[i] << 8));
        }
        sample->bits = 16;
    }
    std::uint16_t running = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        running = static_cast<std::uint16_t>(running + static_cast<std::uint16_t>(data[i]));
        data[i] = static_cast<std::int16_t>(running);
    }
    sample->data = data;
    return true;
}

// The frame after the loop, read by the mixer's interpolation at the loop end.
void WriteWrapAroundFrame(Sample* sample) {
    if (sample->data == nullptr) return;
    const std::uint32_t loopEnd = sample->loopStart + sample->loopLength;
    if (sample->loopKind == kLoopForward) {
        sample->data[loopEnd] = sample->data[sample->loopStart];
    } else if (sample->loopKind == kLoopPingPong) {
        sample->data[loopEnd] = sample->data[loopEnd - 1];
    }
}

bool ReadInstrument(ImageReader* reader, Instrument* instrument) {
    const std::int64_t start = reader->position;
    const std::uint32_t headerSize = Read32(reader);
    SeekImage(reader, kInstrumentNameAndTypeBytes, 1);
    const std::uint16_t sampleCount = Read16(reader);
    if (sampleCount > kSamplesPerInstrument) return false;
    instrument->sampleCount = sampleCount;
    for (Sample*& slot : instrument->samples) slot = &EmptySample;
    if (sampleCount > 0) ReadInstrumentHeader(reader, instrument);
    SeekImage(reader, start + headerSize, 0);
    if (sampleCount == 0) return true;

    for (int j = 0; j < sampleCount; ++j) {
        instrument->samples[j] = nullptr;
        auto* sample = static_cast<Sample*>(AllocateZeroed(sizeof(Sample)));
        if (sample == nullptr) return false;
        instrument->samples[j] = sample;
        ReadSampleHeader(reader, sample);
    }
    for (int j = 0; j < sampleCount; ++j) {
        Sample* sample = instrument->samples[j];
        if (!ReadSampleData(reader, sample)) return false;
        ClampLoop(sample);
        WriteWrapAroundFrame(sample);
    }
    return true;
}

}  // namespace

std::int32_t ReadImage(ImageReader* reader, void* destination, std::int32_t count) {
    if (reader == nullptr || destination == nullptr || count <= 0) return 0;
    std::int32_t available = reader->size - reader->position;
    if (available < 0) available = 0;
    const std::int32_t copied = count < available ? count : available;
    if (copied > 0) std::memcpy(destination, reader->base + reader->position, static_cast<std::size_t>(copied));
    reader->position += copied;
    return copied;
}

void SeekImage(ImageReader* reader, std::int64_t offset, int origin) {
    if (reader == nullptr) return;
    std::int64_t target = offset;
    if (origin == 1) target += reader->position;
    if (origin == 2) target += reader->size;
    if (target > reader->size) target = reader->size;
    // deliberate:
    // a seek before the start stops at the start.
    if (target < 0) target = 0;
    reader->position = static_cast<std::int32_t>(target);
}

int ParseModule(Song* song, ImageReader* reader) {
    if (song == nullptr || reader == nullptr) return 0;
    SeekImage(reader, 0, 0);
    char id[kModuleIdLength] = {};
    ReadImage(reader, id, kModuleIdLength);
    if (std::memcmp(id, kModuleId, kModuleIdLength) != 0) return 0;

    song->initialGlobalVolume = kInitialGlobalVolume;
    SeekImage(reader, kHeaderSizeOffset, 0);
    const std::uint32_t headerSize = Read32(reader);
    std::uint16_t songLength = Read16(reader);
    std::uint16_t restartPosition = Read16(reader);
    const std::uint16_t channelCount = Read16(reader);
    const std::uint16_t filePatternCount = Read16(reader);
    std::uint16_t instrumentCount = Read16(reader);
    const std::uint16_t flags = Read16(reader);
    std::uint16_t speed = Read16(reader);
    std::uint16_t bpm = Read16(reader);
    ReadImage(reader, song->orderTable, kOrderTableSize);

    // The channel table has 32 entries; more tracks cannot be played.
    if (channelCount > kMaxChannels) return 0;
    if (songLength == 0) songLength = 1;
    if (songLength > kOrderTableSize) songLength = kOrderTableSize;
    if (restartPosition >= songLength) restartPosition = 0;
    if (speed == 0) speed = kFallbackSpeed;
    if (speed > kMaxHeaderWord) speed = kMaxHeaderWord;
    if (bpm == 0) bpm = kFallbackBpm;
    if (bpm > kMaxHeaderWord) bpm = kMaxHeaderWord;
    if (instrumentCount > kMaxInstruments) instrumentCount = kMaxInstruments;

    song->songLength = static_cast<std::int16_t>(songLength);
    song->restartPosition = static_cast<std::int16_t>(restartPosition);
    song->channelCount = static_cast<std::int16_t>(channelCount);
    song->flags = static_cast<std::int16_t>(flags);
    song->defaultSpeed = static_cast<std::int16_t>(speed);
    song->defaultBpm = static_cast<std::int16_t>(bpm);
    SeekImage(reader, kHeaderSizeOffset + headerSize, 0);

    std::int32_t usedPatternCount = 0;
    for (int i = 0; i < songLength; ++i) {
        if (song->orderTable[i] >= usedPatternCount) usedPatternCount = song->orderTable[i] + 1;
    }
    song->usedPatternCount = usedPatternCount;
    std::int32_t slotCount = filePatternCount > usedPatternCount ? filePatternCount : usedPatternCount;
    if (slotCount > kMaxPatternSlots) slotCount = kMaxPatternSlots;
    // Order entries after the song's end name an existing pattern too, should anything
    // ever reach them.
    for (int i = songLength; i < kOrderTableSize; ++i) {
        if (song->orderTable[i] >= slotCount) song->orderTable[i] = 0;
    }
    song->patterns = static_cast<Pattern*>(AllocateZeroed(sizeof(Pattern) * static_cast<std::size_t>(slotCount)));
    if (song->patterns == nullptr) return 0;
    song->patternSlotCount = slotCount;

    for (std::int32_t i = 0; i < filePatternCount; ++i) {
        Pattern* pattern = i < slotCount ? &song->patterns[i] : nullptr;
        if (!ReadPattern(reader, pattern, channelCount)) return 0;
    }
    for (std::int32_t i = filePatternCount; i < usedPatternCount; ++i) {
        Pattern& pattern = song->patterns[i];
        pattern.cells = static_cast<Cell*>(
            AllocateZeroed(sizeof(Cell) * kEmptyPatternRows * std::size_t{channelCount}));
        if (pattern.cells == nullptr) return 0;
        pattern.rowCount = kEmptyPatternRows;
    }

    song->instruments = static_cast<Instrument*>(
        AllocateZeroed(sizeof(Instrument) * std::size_t{instrumentCount}));
    if (song->instruments == nullptr) return 0;
    song->instrumentCount = static_cast<std::int16_t>(instrumentCount);
    for (int i = 0; i < instrumentCount; ++i) {
        if (!ReadInstrument(reader, &song->instruments[i])) return 0;
    }
    return 1;
}
