#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "AudioDrive.h"
#include "CueLayout.h"
#include "DiscExtras.h"
#include "DiscReader.h"
#include "FlacAudio.h"
#include "ImageFile.h"

// Whether a drive's name is that of a CUE sheet: it ends in ".cue", in any case.
bool isCueSheetName(const std::string& drive);

// A disc image read as a drive: a CUE sheet and the BINARY (raw 16-bit little-endian stereo),
// WAVE (16-bit stereo PCM at 44.1 kHz) or FLAC (the same, coded) files it names, found in the
// sheet's folder. Its table of contents follows the sheet (see layOut), its extras are the sheet's
// CATALOG, ISRCs and TITLE, PERFORMER and SONGWRITER (as CD-Text); its Q sub-channel, the positions
// the sheet's index points and FLAGS give each sector. Every sector reads the same each
// time: there is no cache, and nothing to read twice.
class CueImage : public AudioDrive, private AudioSectors, private QFrames {
 public:
  // Reads the sheet, opens every file it names and checks it against the sheet. A failure
  // names the sheet and, where it lies in one, its line.
  static std::variant<std::unique_ptr<CueImage>, DiscFailure> open(const std::string& sheetPath);

  const TableOfContents& toc() const override { return layout.toc; }
  AudioSectors& sectors() override { return *this; }
  QFrames& subchannel() override { return *this; }
  const std::string& path() const override { return sheetPath; }
  bool isImage() const override { return true; }
  const DiscExtras& extras() const { return discExtras; }

 private:
  // A file's sectors: where they start, their size in it, and how many bytes hold them.
  struct Source {
    ImageFile file;
    std::string name;
    std::uint64_t offset;
    std::uint64_t bytes;
    std::uint32_t sectorBytes;
    std::unique_ptr<FlacAudio> flac;  // a FLAC file's decoder; none for the others
  };

  CueImage(std::string sheetPath, std::vector<Source> sources, CueLayout layout, DiscExtras extras)
      : sheetPath(std::move(sheetPath)),
        sources(std::move(sources)),
        layout(std::move(layout)),
        discExtras(std::move(extras)) {}

  // Its files are held open from the opening: the disc can not change under it.
  DiscReading readTocAgain() override { return layout.toc; }
  SectorsRead read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) override;
  QFramesRead read(std::uint32_t lba, std::uint32_t count) override;
  // Reads `count` sectors of one run, from `lba` on.
  SectorsRead readRun(const ImageRun& run, std::uint32_t lba, std::uint32_t count,
                      std::uint8_t* out);

  std::string sheetPath;
  std::vector<Source> sources;
  CueLayout layout;
  DiscExtras discExtras;
};

// The image's table and the extras asked for (kExtraMcn | kExtraIsrc | kExtraCdText), as
// readDisc gives a drive's, its files checked as for reading.
DiscExtrasReading readCueImage(const std::string& sheetPath, unsigned extras);
