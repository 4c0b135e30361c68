#include "CueImage.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "FlacAudio.h"
#include "TocFile.h"
#include "WaveData.h"

namespace {

// No file of a CD image holds more than a disc: 100 minutes.
constexpr std::uint32_t kMaxFileFrames = 100 * kFramesPerMinute;

// CD-Text block 0 in English, the language of a sheet that names none.
constexpr std::uint8_t kEnglish = 0x09;

DiscFailure failure(FailureReason reason, const std::string& sheet, int line,
                    const std::string& what) {
  const std::string where = line > 0 ? sheet + " line " + std::to_string(line) : sheet;
  return {reason, sheet, where + ": " + what};
}

std::string quoted(const std::string& name) { return "'" + name + "'"; }

// A file that holds less than the sheet needs of it: never made up with silence.
std::string shortOf(std::uint64_t missing) {
  return "cut short: " + std::to_string(missing) + " bytes missing";
}

// What one sector takes in each file, from the tracks whose indexes lie in it.
std::variant<std::vector<std::uint32_t>, CueProblem> sectorBytesOfFiles(const CueSheet& sheet) {
  std::vector<std::uint32_t> bytes(sheet.files.size(), 0);
  for (const CueTrack& track : sheet.tracks) {
    std::vector<CuePosition> positions = track.indexes;
    if (track.index0) positions.push_back(*track.index0);
    for (const CuePosition& position : positions) {
      std::uint32_t& size = bytes[position.file];
      if (size != 0 && size != track.sectorBytes) {
        return CueProblem{track.line, quoted(sheet.files[position.file].name) +
                                          " would hold sectors of " + std::to_string(size) +
                                          " and of " + std::to_string(track.sectorBytes) +
                                          " bytes: give each kind a FILE of its own"};
      }
      size = track.sectorBytes;
    }
  }
  return bytes;
}

void addText(CdTextBlock& block, std::uint8_t packType, unsigned track,
             const std::optional<std::string>& text) {
  if (text && !text->empty()) block.items.push_back({packType, track, *text});
}

void addTexts(CdTextBlock& block, unsigned track, const CueTexts& texts) {
  addText(block, kCdTextTitle, track, texts.title);
  addText(block, kCdTextPerformer, track, texts.performer);
  addText(block, kCdTextSongwriter, track, texts.songwriter);
}

DiscExtras extrasOf(const CueSheet& sheet) {
  DiscExtras extras;
  extras.mediaCatalogNumber = sheet.catalog;
  CdTextBlock block;
  block.languageCode = kEnglish;
  addTexts(block, 0, sheet.texts);
  for (const CueTrack& track : sheet.tracks) {
    extras.isrcs.push_back(track.isrc);
    addTexts(block, track.number, track.texts);
  }
  if (!block.items.empty()) {
    sortItems(block);
    extras.cdText = CdText{{std::move(block)}};
  }
  return extras;
}

std::variant<std::string, DiscFailure> sheetText(const std::string& path) {
  auto opened = ImageFile::open(path);
  if (const int* error = std::get_if<int>(&opened)) return unreadableTocFile(path, *error);
  ImageFile& file = std::get<ImageFile>(opened);
  if (file.size() > kMaxCueSheetSize) {
    return failure(FailureReason::kBadTable, path, 0,
                   "larger than " + std::to_string(kMaxCueSheetSize) + " bytes, not a CUE sheet");
  }
  std::string text(static_cast<std::size_t>(file.size()), '\0');
  text.resize(file.readAt(0, text.size(), reinterpret_cast<std::uint8_t*>(text.data())));
  return text;
}

}  // namespace

bool isCueSheetName(const std::string& drive) {
  static constexpr char kSuffix[] = ".cue";
  const std::size_t length = sizeof kSuffix - 1;
  return drive.size() > length &&
         std::equal(drive.end() - length, drive.end(), kSuffix, [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

std::variant<std::unique_ptr<CueImage>, DiscFailure> CueImage::open(const std::string& sheetPath) {
  auto text = sheetText(sheetPath);
  if (auto* problem = std::get_if<DiscFailure>(&text)) return std::move(*problem);
  auto parsed = parseCueSheet(std::get<std::string>(text));
  if (auto* problem = std::get_if<CueProblem>(&parsed)) {
    return failure(FailureReason::kBadTable, sheetPath, problem->line, problem->what);
  }
  const CueSheet& sheet = std::get<CueSheet>(parsed);
  auto sectorBytes = sectorBytesOfFiles(sheet);
  if (auto* problem = std::get_if<CueProblem>(&sectorBytes)) {
    return failure(FailureReason::kBadTable, sheetPath, problem->line, problem->what);
  }

  std::vector<Source> sources;
  std::vector<std::uint32_t> fileFrames;
  for (std::size_t i = 0; i < sheet.files.size(); ++i) {
    const CueFile& named = sheet.files[i];
    const auto bad = [&](FailureReason reason, const std::string& what) {
      return failure(reason, sheetPath, named.line, quoted(named.name) + ": " + what);
    };
    const std::uint32_t bytesPerSector = std::get<std::vector<std::uint32_t>>(sectorBytes)[i];
    const auto path = pathInSheetFolder(sheetPath, named.name);
    if (!path) {
      return bad(
          FailureReason::kNoAccess,
          "refused: a sheet's files must lie in its folder (no absolute path, no '..', no link)");
    }
    auto opened = ImageFile::open(*path);
    if (const int* error = std::get_if<int>(&opened)) {
      return bad(fileErrorReason(*error), std::strerror(*error));
    }
    Source source{
        std::move(std::get<ImageFile>(opened)), named.name, 0, 0, bytesPerSector, nullptr};
    source.bytes = source.file.size();
    if (named.type == CueFile::Type::kWave) {
      if (bytesPerSector != kAudioFrameBytes) {
        return bad(FailureReason::kBadTable, "a data track can not lie in a WAVE file");
      }
      // A sheet names a FLAC file as a WAVE one: what the file holds decides.
      if (looksLikeFlac(source.file)) {
        auto flac = FlacAudio::open(source.file);
        if (auto* problem = std::get_if<FlacProblem>(&flac)) {
          return bad(FailureReason::kBadTable, flacProblemText(*problem));
        }
        source.flac = std::move(std::get<std::unique_ptr<FlacAudio>>(flac));
        source.bytes = source.flac->bytes();
      } else {
        auto data = findWaveData(source.file);
        if (auto* problem = std::get_if<std::string>(&data)) {
          return bad(FailureReason::kBadTable, *problem);
        }
        const WaveData& wave = std::get<WaveData>(data);
        if (wave.missing != 0) {
          return bad(FailureReason::kBadTable, shortOf(wave.missing) + " of the " +
                                                   std::to_string(wave.bytes + wave.missing) +
                                                   " its data chunk claims");
        }
        source.offset = wave.offset;
        source.bytes = wave.bytes;
      }
    }
    // A disc holds whole sectors: a file that ends within one lost its end.
    if (const std::uint64_t part = source.bytes % bytesPerSector; part != 0) {
      return bad(FailureReason::kBadTable,
                 shortOf(bytesPerSector - part) + " of its last sector of " +
                     std::to_string(bytesPerSector) + " bytes (" + std::to_string(source.bytes) +
                     " bytes, not whole sectors)");
    }
    const std::uint64_t frames = source.bytes / bytesPerSector;
    if (frames > kMaxFileFrames) return bad(FailureReason::kBadTable, "larger than a CD holds");
    fileFrames.push_back(static_cast<std::uint32_t>(frames));
    sources.push_back(std::move(source));
  }
  auto layout = layOut(sheet, fileFrames);
  if (auto* problem = std::get_if<CueProblem>(&layout)) {
    return failure(FailureReason::kBadTable, sheetPath, problem->line, problem->what);
  }
  return std::unique_ptr<CueImage>(new CueImage(
      sheetPath, std::move(sources), std::move(std::get<CueLayout>(layout)), extrasOf(sheet)));
}

SectorsRead CueImage::read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) {
  while (count > 0) {
    // The first run that ends after `lba`: it holds it, or lies after silence.
    const auto run = std::upper_bound(
        layout.runs.begin(), layout.runs.end(), lba,
        [](std::uint32_t address, const ImageRun& r) { return address < r.start + r.frames; });
    std::uint32_t step = 0;
    if (run == layout.runs.end() || run->start > lba) {
      step = run == layout.runs.end() ? count : std::min(count, run->start - lba);
      std::fill_n(out, std::size_t{step} * kAudioFrameBytes, 0);
    } else {
      step = std::min(count, run->start + run->frames - lba);
      SectorsRead read = readRun(*run, lba, step, out);
      if (read.status != SectorsRead::Status::kRead) return read;
    }
    lba += step;
    count -= step;
    out += std::size_t{step} * kAudioFrameBytes;
  }
  return {SectorsRead::Status::kRead, std::nullopt};
}

QFramesRead CueImage::read(std::uint32_t lba, std::uint32_t count) {
  QFramesRead read;
  const TableOfContents& table = layout.toc;
  const std::uint32_t end = std::min(lba + count, table.leadOut - kLeadInFrames);
  for (std::uint32_t sector = lba; sector < end; ++sector) {
    // The track whose pregap the sector lies in or after; the first track's reaches back to
    // the disc's start.
    std::size_t track = 0;
    while (track + 1 < layout.marks.size() && layout.marks[track + 1].pregapStart <= sector) {
      ++track;
    }
    const std::vector<std::uint32_t>& indexes = layout.marks[track].indexes;
    const auto index = static_cast<unsigned>(
        std::upper_bound(indexes.begin(), indexes.end(), sector) - indexes.begin());
    read.frames.push_back(QFrame{
        sector, QPosition{table.controls[track], table.firstTrack + static_cast<unsigned>(track),
                          index, sector + kLeadInFrames}});
  }
  return read;
}

SectorsRead CueImage::readRun(const ImageRun& run, std::uint32_t lba, std::uint32_t count,
                              std::uint8_t* out) {
  Source& source = sources[run.file];
  const std::size_t size = std::size_t{count} * kAudioFrameBytes;
  // Data sectors of 2048 or 2336 bytes hold no CD-DA to give: as a drive's, they are no audio.
  if (source.sectorBytes != kAudioFrameBytes) {
    std::fill_n(out, size, 0);
    return {SectorsRead::Status::kRead, std::nullopt};
  }
  const std::uint64_t at = std::uint64_t{run.fileFrame + (lba - run.start)} * kAudioFrameBytes;
  std::optional<FlacProblem> problem;
  if (source.flac && (problem = source.flac->read(source.file, at, size, out))) {
    return {SectorsRead::Status::kFailed,
            failure(FailureReason::kReadFailed, sheetPath, 0,
                    quoted(source.name) + ": " + flacProblemText(*problem))};
  }
  const std::size_t got = source.flac ? size : source.file.readAt(source.offset + at, size, out);
  if (got != size) {
    return {SectorsRead::Status::kFailed,
            failure(FailureReason::kReadFailed, sheetPath, 0,
                    quoted(source.name) + " was " + shortOf(size - got) + " while it was read")};
  }
  return {SectorsRead::Status::kRead, std::nullopt};
}

DiscExtrasReading readCueImage(const std::string& sheetPath, unsigned extras) {
  auto opened = CueImage::open(sheetPath);
  if (auto* problem = std::get_if<DiscFailure>(&opened)) return std::move(*problem);
  const CueImage& image = *std::get<std::unique_ptr<CueImage>>(opened);
  return DiscWithExtras{image.toc(),
                        onlyThoseWanted(image.extras(), extras, image.toc().trackCount())};
}
