// Writes a small disc image for trying the library without a CD drive: three tracks of tones
// of eight seconds or so as WAVE files, the second after a second of silence in its pregap (at
// the end of the first file, where rippers append it), CD-Text in the CUE sheet, and an
// AccurateRip answer for it, as the database would give one: its tracks' checksums read back
// through the library, and each track's frame 450, with which --find-offset finds the offset.
// Usage: sample_image FOLDER
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "CueImage.h"
#include "TrackReader.h"

namespace {

// The tones, each a file: the first holds the second's pregap, a second of silence.
struct Tone {
  double hertz;
  std::uint32_t frames;
  std::uint32_t silenceAfter;
};
// Each over 460 frames: the offset search reads ten frames either side of frame 450.
constexpr Tone kTones[] = {{440.0, 600, 75}, {523.25, 675, 0}, {659.25, 525, 0}};
constexpr char kSheet[] = R"(REM Made by the build: tones to try Tocmate without a CD drive
PERFORMER "Tocmate"
TITLE "Three Tones"
FILE "track01.wav" WAVE
  TRACK 01 AUDIO
    TITLE "A"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "C"
    INDEX 00 00:08:00
FILE "track02.wav" WAVE
    INDEX 01 00:00:00
FILE "track03.wav" WAVE
  TRACK 03 AUDIO
    TITLE "E"
    INDEX 01 00:00:00
)";

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kSampleRate = 44100;
// How many rips the sample's answer says agree on each track.
constexpr std::uint8_t kConfidence = 5;
// The frame whose checksum tells a drive's offset, and the WAVE header before the samples.
constexpr std::uint32_t kOffsetFrame = 450;
constexpr std::size_t kWaveHeaderBytes = 44;

void put(std::string& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xff);
}

void putSample(std::string& bytes, double value) {
  put(bytes, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value))), 2);
}

std::string waveOf(const Tone& tone) {
  const std::uint32_t samples = tone.frames * kSamplesPerFrame;
  std::string data;
  // A little noise from a fixed generator: a pure tone repeats, and would match an
  // AccurateRip answer at every one of its periods.
  std::uint32_t noise = 1;
  for (std::uint32_t i = 0; i < samples; ++i) {
    noise = noise * 1664525u + 1013904223u;
    // Fading out over the last tenth, the right channel half as loud as the left.
    const double fade = std::fmin(1.0, 10.0 * (samples - i) / samples);
    const double value = 8000 * fade * std::sin(2 * kPi * tone.hertz * i / kSampleRate) +
                         static_cast<double>(noise >> 28) - 8;
    putSample(data, value);
    putSample(data, value / 2);
  }
  data.append(std::size_t{tone.silenceAfter} * kAudioFrameBytes, '\0');
  std::string file = "RIFF";
  put(file, 36 + static_cast<std::uint32_t>(data.size()), 4);
  file += "WAVEfmt ";
  put(file, 16, 4);
  put(file, 1, 2);  // PCM
  put(file, 2, 2);  // channels
  put(file, kSampleRate, 4);
  put(file, kSampleRate * kBytesPerSample, 4);
  put(file, kBytesPerSample, 2);
  put(file, 16, 2);
  file += "data";
  put(file, static_cast<std::uint32_t>(data.size()), 4);
  return file + data;
}

// AccurateRip's checksum of a track's frame 450: each sample (left in the low 16 bits) times
// its place, 1 to 588. The tracks start their files, so the frame is the file's.
std::uint32_t frame450Of(const std::string& wave) {
  std::uint32_t sum = 0;
  const std::size_t first = kWaveHeaderBytes + std::size_t{kOffsetFrame} * kAudioFrameBytes;
  for (std::uint32_t i = 0; i < kSamplesPerFrame; ++i) {
    std::uint32_t sample = 0;
    for (int byte = 0; byte < 4; ++byte) {
      sample |= std::uint32_t{static_cast<std::uint8_t>(wave[first + 4 * i + byte])} << (8 * byte);
    }
    sum += (i + 1) * sample;
  }
  return sum;
}

bool writeFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary);
  file << contents;
  return static_cast<bool>(file);
}

// The header of a dBAR entry: the track count, AccurateRip's two disc IDs and the freedb ID.
std::string answerHeader(const TableOfContents& toc) {
  std::uint32_t sum = 0, weighted = 0, digits = 0;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    const std::uint32_t start = toc.startOf(track) - kLeadInFrames;
    sum += start;
    weighted += std::max<std::uint32_t>(start, 1) * (track - toc.firstTrack + 1);
    for (std::uint32_t seconds = toc.startOf(track) / kFramesPerSecond; seconds > 0;
         seconds /= 10) {
      digits += seconds % 10;
    }
  }
  const std::uint32_t leadOut = toc.leadOut - kLeadInFrames;
  const std::uint32_t seconds = toc.leadOut / kFramesPerSecond - toc.starts[0] / kFramesPerSecond;
  std::string header;
  put(header, toc.trackCount(), 1);
  put(header, sum + leadOut, 4);
  put(header, weighted + leadOut * (toc.trackCount() + 1), 4);
  put(header, (digits % 255) << 24 | seconds << 8 | toc.trackCount(), 4);
  return header;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: sample_image FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  bool written = writeFile(folder + "sample.cue", kSheet);
  std::vector<std::uint32_t> frame450s;
  for (std::size_t i = 0; i < std::size(kTones); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "track%02u.wav", static_cast<unsigned>(i + 1));
    const std::string wave = waveOf(kTones[i]);
    frame450s.push_back(frame450Of(wave));
    written = written && writeFile(folder + name, wave);
  }
  auto opened = CueImage::open(folder + "sample.cue");
  if (!written || std::holds_alternative<DiscFailure>(opened)) {
    std::fprintf(stderr, "sample_image: the sample can not be written to %s\n", argv[1]);
    return 1;
  }
  CueImage& image = *std::get<std::unique_ptr<CueImage>>(opened);
  const TableOfContents& toc = image.toc();
  std::string answer = answerHeader(toc);
  std::vector<std::uint8_t> chunk(TrackReader::kMaxChunkBytes);
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    const std::uint32_t end = track == toc.lastTrack ? toc.leadOut : toc.startOf(track + 1);
    // Read once, at offset 0: the files have no cache to get past.
    const TrackSpan span = *trackSpan(toc, track, end, toc.leadOut);
    TrackReader reader(image.sectors(), span, {span.audio}, 0, false, 1);
    for (;;) {
      const auto read = reader.next(chunk.data(), chunk.size());
      if (std::holds_alternative<DiscFailure>(read) || std::get<std::size_t>(read) == 0) break;
    }
    put(answer, kConfidence, 1);
    put(answer, reader.checksums().accurateRipV2(), 4);
    put(answer, frame450s[track - toc.firstTrack], 4);
  }
  return writeFile(folder + "accuraterip.bin", answer) ? 0 : 1;
}
