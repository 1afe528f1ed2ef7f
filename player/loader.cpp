// The XM loader: the read cursor over a module image and the parser that builds the song
// model (patterns, instruments, samples) from it, holding every count and index it keeps
// within the tables and buffers the player reads.
#include "loader.h"

#include <cstddef>
#include <cstring>

#include "song.h"
#include "win32.h"
#include "xm_format.h"

const Sample EmptySample{};
const Instrument EmptyInstrument{};

namespace {

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
// Far above any real sample; keeps positions well inside the mixer's signed arithmetic.
constexpr std::uint32_t kMaxSampleFrames = std::uint32_t{1} << 30;
// What a header tempo or speed of 0 is played as: the tracker's defaults for a new song.
constexpr std::uint16_t kFallbackSpeed = 6;
constexpr std::uint16_t kFallbackBpm = 125;
constexpr std::uint16_t kMaxHeaderWord = 32767;  // the largest value the int16 fields hold

void* AllocateZeroed(std::size_t bytes) {
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
}

std::uint16_t Read16(ImageReader* reader) {
    std::uint8_t bytes[2] = {};
    ReadImage(reader, bytes, 2);
    return xm::Load16(bytes);
}

std::uint32_t Read32(ImageReader* reader) {
    std::uint8_t bytes[4] = {};
    ReadImage(reader, bytes, 4);
    return xm::Load32(bytes);
}

// Reads a record of `size` bytes into `record`; past the image's end the rest stays 0.
template <std::size_t size>
void ReadRecord(ImageReader* reader, std::uint8_t (&record)[size]) {
    ReadImage(reader, record, static_cast<std::int32_t>(size));
}

bool AtEnd(const ImageReader* reader) {
    return reader->position >= reader->size;
}

// Decodes one packed cell; bytes missing at the image's end read as 0.
Cell ReadCell(ImageReader* reader) {
    std::uint8_t fields[xm::kCellFieldCount];
    xm::UnpackCell(
        [reader] {
            std::uint8_t byte = 0;
            ReadImage(reader, &byte, 1);
            return byte;
        },
        fields);
    Cell cell{fields[xm::kCellNote], fields[xm::kCellInstrument], fields[xm::kCellVolume],
              fields[xm::kCellEffect], fields[xm::kCellParam]};
    if (cell.note == xm::kFileKeyOffNote) {
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
    // The header's own length field is not trusted: the cells follow its nine bytes.
    std::uint8_t header[xm::kPatternHeaderSize] = {};
    ReadRecord(reader, header);
    const std::int32_t fileRows = xm::Load16(header + xm::kPatternRowCountOffset);
    const std::uint16_t packedSize = xm::Load16(header + xm::kPatternPackedSizeOffset);
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

void DecodeEnvelope(const std::uint8_t* bytes, EnvelopePoint* points) {
    static_assert(kEnvelopePointCount == xm::kEnvelopePoints);
    for (std::size_t i = 0; i < kEnvelopePointCount; ++i) {
        points[i].x = xm::Load16(bytes + 4 * i);
        points[i].y = xm::Load16(bytes + 4 * i + 2);
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

// The instrument header's fields from the sample header size on, read from there.
void ReadInstrumentHeader(ImageReader* reader, Instrument* instrument) {
    constexpr std::size_t first = xm::kInstrumentSampleHeaderSizeOffset;
    std::uint8_t fields[xm::kInstrumentFieldsEnd - first] = {};
    ReadRecord(reader, fields);
    // The sample header size is not used: sample headers are taken to be 40 bytes.
    auto at = [&fields](std::size_t offset) { return fields + (offset - first); };
    static_assert(kSampleMapSize == xm::kInstrumentSampleMapLength);
    std::memcpy(instrument->sampleMap, at(xm::kInstrumentSampleMapOffset), kSampleMapSize);
    DecodeEnvelope(at(xm::kInstrumentVolumeEnvelopeOffset), instrument->volumeEnvelope);
    DecodeEnvelope(at(xm::kInstrumentPanningEnvelopeOffset), instrument->panningEnvelope);
    instrument->volumePointCount = *at(xm::kInstrumentVolumePointCountOffset);
    instrument->panningPointCount = *at(xm::kInstrumentPanningPointCountOffset);
    instrument->volumeSustainPoint = *at(xm::kInstrumentVolumeSustainOffset);
    instrument->volumeLoopStart = *at(xm::kInstrumentVolumeLoopStartOffset);
    instrument->volumeLoopEnd = *at(xm::kInstrumentVolumeLoopEndOffset);
    instrument->panningSustainPoint = *at(xm::kInstrumentPanningSustainOffset);
    instrument->panningLoopStart = *at(xm::kInstrumentPanningLoopStartOffset);
    instrument->panningLoopEnd = *at(xm::kInstrumentPanningLoopEndOffset);
    instrument->volumeType = *at(xm::kInstrumentVolumeTypeOffset);
    instrument->panningType = *at(xm::kInstrumentPanningTypeOffset);
    instrument->autoVibratoType = *at(xm::kInstrumentVibratoTypeOffset);
    instrument->autoVibratoSweep = *at(xm::kInstrumentVibratoSweepOffset);
    instrument->autoVibratoDepth = *at(xm::kInstrumentVibratoDepthOffset);
    instrument->autoVibratoRate = *at(xm::kInstrumentVibratoRateOffset);
    instrument->fadeout =
        static_cast<std::uint16_t>(2 * xm::Load16(at(xm::kInstrumentFadeoutOffset)));
    ClampEnvelope(&instrument->volumePointCount, &instrument->volumeSustainPoint,
                  &instrument->volumeLoopStart, &instrument->volumeLoopEnd,
                  &instrument->volumeType);
    ClampEnvelope(&instrument->panningPointCount, &instrument->panningSustainPoint,
                  &instrument->panningLoopStart, &instrument->panningLoopEnd,
                  &instrument->panningType);
}

void ReadSampleHeader(ImageReader* reader, Sample* sample) {
    std::uint8_t header[xm::kSampleHeaderSize] = {};
    ReadRecord(reader, header);
    sample->length = xm::Load32(header + xm::kSampleLengthOffset);
    sample->loopStart = xm::Load32(header + xm::kSampleLoopStartOffset);
    sample->loopLength = xm::Load32(header + xm::kSampleLoopLengthOffset);
    sample->volume = header[xm::kSampleVolumeOffset];
    sample->finetune = static_cast<std::int8_t>(header[xm::kSampleFinetuneOffset]);
    const std::uint8_t type = header[xm::kSampleTypeOffset];
    sample->panning = header[xm::kSamplePanningOffset];
    sample->relativeNote = static_cast<std::int8_t>(header[xm::kSampleRelativeNoteOffset]);

    sample->loopKind = kLoopNone;
    sample->bits = 8;
    if ((type & xm::kSampleTypeForwardLoop) != 0) sample->loopKind = kLoopForward;
    if ((type & xm::kSampleTypePingPongLoop) != 0) sample->loopKind = kLoopPingPong;
    if ((type & xm::kSampleType16Bit) != 0) sample->bits = 16;
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
    auto* data =
        static_cast<std::int16_t*>(AllocateZeroed(2 * std::size_t{length} + kSampleSlackBytes));
    if (data == nullptr) return false;
    auto* bytes = reinterpret_cast<std::uint8_t*>(data);
    if (sample->bits == 16) {
        // deliberate:
        // an odd byte count loses its last byte, which the next sample then reads as its first.
        ReadImage(reader, bytes, static_cast<std::int32_t>(2 * length));
        for (std::uint32_t i = 0; i < length; ++i) {
            data[i] = static_cast<std::int16_t>(xm::Load16(bytes + std::size_t{2} * i));
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
    SeekImage(reader, start + static_cast<std::int64_t>(xm::kInstrumentSampleCountOffset),
              SeekOrigin::kStart);
    const std::uint16_t sampleCount = Read16(reader);
    if (sampleCount > kSamplesPerInstrument) return false;
    instrument->sampleCount = sampleCount;
    for (const Sample*& slot : instrument->samples) slot = &EmptySample;
    if (sampleCount > 0) ReadInstrumentHeader(reader, instrument);
    SeekImage(reader, start + headerSize, SeekOrigin::kStart);
    if (sampleCount == 0) return true;

    for (int j = 0; j < sampleCount; ++j) {
        instrument->samples[j] = nullptr;
        auto* sample = static_cast<Sample*>(AllocateZeroed(sizeof(Sample)));
        if (sample == nullptr) return false;
        instrument->samples[j] = sample;
        ReadSampleHeader(reader, sample);
    }
    for (int j = 0; j < sampleCount; ++j) {
        Sample* sample = WritableSample(instrument->samples[j]);
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
    if (copied > 0)
        std::memcpy(destination, reader->base + reader->position, static_cast<std::size_t>(copied));
    reader->position += copied;
    return copied;
}

void SeekImage(ImageReader* reader, std::int64_t offset, SeekOrigin origin) {
    if (reader == nullptr) return;
    std::int64_t target = offset;
    if (origin == SeekOrigin::kCurrent) target += reader->position;
    if (origin == SeekOrigin::kEnd) target += reader->size;
    if (target > reader->size) target = reader->size;
    // deliberate:
    // a seek before the start stops at the start.
    if (target < 0) target = 0;
    reader->position = static_cast<std::int32_t>(target);
}

bool ParseModule(Song* song, ImageReader* reader) {
    if (song == nullptr || reader == nullptr) return false;
    SeekImage(reader, 0, SeekOrigin::kStart);
    char id[xm::kModuleIdLength] = {};
    ReadImage(reader, id, xm::kModuleIdLength);
    if (std::memcmp(id, xm::kModuleId, xm::kModuleIdLength) != 0) return false;

    song->initialGlobalVolume = kInitialGlobalVolume;
    // The header from its size field to the end of the order table.
    SeekImage(reader, xm::kHeaderSizeOffset, SeekOrigin::kStart);
    std::uint8_t header[xm::kOrderTableOffset + xm::kOrderTableLength - xm::kHeaderSizeOffset] = {};
    ReadRecord(reader, header);
    auto at = [&header](std::size_t offset) { return header + (offset - xm::kHeaderSizeOffset); };
    const std::uint32_t headerSize = xm::Load32(at(xm::kHeaderSizeOffset));
    std::uint16_t songLength = xm::Load16(at(xm::kSongLengthOffset));
    std::uint16_t restartPosition = xm::Load16(at(xm::kRestartPositionOffset));
    const std::uint16_t channelCount = xm::Load16(at(xm::kChannelCountOffset));
    const std::uint16_t filePatternCount = xm::Load16(at(xm::kPatternCountOffset));
    std::uint16_t instrumentCount = xm::Load16(at(xm::kInstrumentCountOffset));
    const std::uint16_t flags = xm::Load16(at(xm::kFlagsOffset));
    std::uint16_t speed = xm::Load16(at(xm::kDefaultSpeedOffset));
    std::uint16_t bpm = xm::Load16(at(xm::kDefaultBpmOffset));
    static_assert(kOrderTableSize == xm::kOrderTableLength);
    std::memcpy(song->orderTable, at(xm::kOrderTableOffset), kOrderTableSize);

    // The channel table has 32 entries; more tracks cannot be played.
    if (channelCount > kMaxChannels) return false;
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
    SeekImage(reader, static_cast<std::int64_t>(xm::kHeaderSizeOffset) + headerSize,
              SeekOrigin::kStart);

    std::int32_t usedPatternCount = 0;
    for (int i = 0; i < songLength; ++i) {
        if (song->orderTable[i] >= usedPatternCount) usedPatternCount = song->orderTable[i] + 1;
    }
    song->usedPatternCount = usedPatternCount;
    std::int32_t slotCount =
        filePatternCount > usedPatternCount ? filePatternCount : usedPatternCount;
    if (slotCount > kMaxPatternSlots) slotCount = kMaxPatternSlots;
    // Order entries after the song's end name an existing pattern too, should anything
    // ever reach them.
    for (int i = songLength; i < kOrderTableSize; ++i) {
        if (song->orderTable[i] >= slotCount) song->orderTable[i] = 0;
    }
    song->patterns = static_cast<Pattern*>(
        AllocateZeroed(sizeof(Pattern) * static_cast<std::size_t>(slotCount)));
    if (song->patterns == nullptr) return false;
    song->patternSlotCount = slotCount;

    for (std::int32_t i = 0; i < filePatternCount; ++i) {
        Pattern* pattern = i < slotCount ? &song->patterns[i] : nullptr;
        if (!ReadPattern(reader, pattern, channelCount)) return false;
    }
    for (std::int32_t i = filePatternCount; i < usedPatternCount; ++i) {
        Pattern& pattern = song->patterns[i];
        pattern.cells = static_cast<Cell*>(
            AllocateZeroed(sizeof(Cell) * kEmptyPatternRows * std::size_t{channelCount}));
        if (pattern.cells == nullptr) return false;
        pattern.rowCount = kEmptyPatternRows;
    }

    song->instruments =
        static_cast<Instrument*>(AllocateZeroed(sizeof(Instrument) * std::size_t{instrumentCount}));
    if (song->instruments == nullptr) return false;
    song->instrumentCount = static_cast<std::int16_t>(instrumentCount);
    for (int i = 0; i < instrumentCount; ++i) {
        if (!ReadInstrument(reader, &song->instruments[i])) return false;
    }
    return true;
}
