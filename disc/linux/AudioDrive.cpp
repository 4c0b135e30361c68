// A drive's audio on Linux: READ CD through SG_IO on the node the table was read from; a
// CUE sheet's image read from its files.
#include "AudioDrive.h"

#include "CdromDrive.h"
#include "DriveFailures.h"
#include "MmcQFrames.h"
#include "MmcReadCd.h"
#include "OpenDisc.h"
#include "SgioTransport.h"

namespace {

class LinuxAudioDrive : public AudioDrive {
 public:
  LinuxAudioDrive(OpenDisc disc, std::string path)
      : disc(std::move(disc)),
        name(std::move(path)),
        transport(this->disc.node.get()),
        audio(transport, name),
        q(transport, name) {}

  const TableOfContents& toc() const override { return disc.toc; }
  AudioSectors& sectors() override { return audio; }
  QFrames& subchannel() override { return q; }
  const std::string& path() const override { return name; }

 protected:
  DiscReading readTocAgain() override { return readCdromTable(disc.node.get(), name); }

 private:
  OpenDisc disc;
  std::string name;
  SgioTransport transport;
  MmcAudioSectors audio;
  MmcQFrames q;
};

}  // namespace

AudioDriveOpening openAudioDrive(const std::string& drive) {
  DiscOpening opening = openDisc(drive);
  if (auto* failure = std::get_if<DiscFailure>(&opening)) return std::move(*failure);
  OpenDisc& disc = std::get<OpenDisc>(opening);
  if (disc.image) return std::move(disc.image);
  const std::string path = drive.empty() ? findFirstCdDrive() : drive;
  if (!disc.node) {
    return driveFailure(FailureReason::kNoDrive, path,
                        "a table-of-contents file holds no audio to read");
  }
  return std::make_unique<LinuxAudioDrive>(std::move(disc), path);
}
