#pragma once

#include <functional>
#include <string>
#include <vector>

#include "MciApi.h"

// One command the test expects the library to send, and the device's answer to it.
struct Exchange {
  std::string command;
  std::string reply;
  MCIERROR code = 0;
  std::function<void()> whileSending = nullptr;  // runs before the device answers
};

inline Exchange replies(std::string command, std::string reply = "") {
  return {std::move(command), std::move(reply), 0};
}
inline Exchange fails(std::string command, MCIERROR code) { return {std::move(command), "", code}; }

// The MCI that mciSendStringA talks to while an object lives: it checks every command
// against the script, in order, and answers as scripted. A command off the script fails
// the test and gets 261. On destruction, commands left unsent fail the test.
// Error texts are "text of error <code>", unless a test gives its own; code 999 has no text,
// as an unknown code.
class ScriptedMci {
 public:
  // InAnyOrder answers each command from the first exchange with its text, for runs
  // that may stop anywhere, and checks nothing but that the command is in the script.
  enum class Order { Strict, InAnyOrder };

  explicit ScriptedMci(std::vector<Exchange> script, Order order = Order::Strict);
  ~ScriptedMci();
  ScriptedMci(const ScriptedMci&) = delete;
  ScriptedMci& operator=(const ScriptedMci&) = delete;

  // Error texts fill the whole buffer with no terminator, as a careless driver might:
  // "text of error <code>", 'x's, and "the end" before the buffer's last byte.
  void useUnterminatedErrorTexts() { unterminatedErrorTexts = true; }
  // The error text of every code.
  void useErrorText(std::string text) { errorText = std::move(text); }

  // How often "open cdaudio wait" and "close cdaudio" were sent, and whether the device
  // was left closed (the last command sent was the close).
  int opens() const { return openCount; }
  int closes() const { return closeCount; }
  bool closedLast() const { return lastWasClose; }

  MCIERROR send(const char* command, char* reply, unsigned replyLength);
  bool errorString(MCIERROR code, char* text, unsigned textLength) const;

 private:
  const Exchange* find(const char* command);

  std::vector<Exchange> script;
  Order order;
  std::size_t next = 0;
  int openCount = 0;
  int closeCount = 0;
  bool lastWasClose = false;
  bool unterminatedErrorTexts = false;
  std::string errorText;
};

// The commands of a drive that reads the disc without a failure, given each track's
// position and length replies.
std::vector<Exchange> goodRead(const std::vector<std::string>& positions,
                               const std::vector<std::string>& lengths);
