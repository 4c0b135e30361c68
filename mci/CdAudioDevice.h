#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "DiscSource.h"

// The "cdaudio" device of one process and the MCI command strings it understands:
//   open cdaudio            opens the disc and reads it once; the alias is the device name
//   close cdaudio
//   set cdaudio time format msf
//   status cdaudio number of tracks | position track N | length track N
// Any command may carry "wait". Every status is answered from the table read at open.
class CdAudioDevice {
 public:
  using DiscOpener = DiscOpening (*)();

  struct Outcome {
    MCIERROR code;
    std::string detail;  // what the platform's error text leaves out, if anything
  };

  explicit CdAudioDevice(DiscOpener discOpener) : discOpener(discOpener) {}

  // Runs one command; a reply, if any, is written to reply as a terminated text cut to
  // replyLength bytes.
  Outcome execute(std::string_view command, char* reply, unsigned replyLength);

 private:
  Outcome open(char* reply, unsigned replyLength);

  DiscOpener discOpener;
  std::optional<OpenDisc> disc;  // set while the device is open
  std::thread::id owner;         // the thread that opened it
};
