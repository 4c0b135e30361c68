#include "ScriptedMci.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {
ScriptedMci* current = nullptr;
}

ScriptedMci::ScriptedMci(std::vector<Exchange> script, Order order)
    : script(std::move(script)), order(order) {
  current = this;
}

ScriptedMci::~ScriptedMci() {
  current = nullptr;
  if (order == Order::InAnyOrder) return;
  for (std::size_t i = next; i < script.size(); ++i) {
    ADD_FAILURE() << "command never sent: '" << script[i].command << "'";
  }
}

const Exchange* ScriptedMci::find(const char* command) {
  if (order == Order::Strict) {
    return next < script.size() && script[next].command == command ? &script[next++] : nullptr;
  }
  for (const Exchange& exchange : script) {
    if (exchange.command == command) return &exchange;
  }
  return nullptr;
}

MCIERROR ScriptedMci::send(const char* command, char* reply, unsigned replyLength) {
  const Exchange* exchange = find(command);
  if (exchange == nullptr) {
    ADD_FAILURE() << "unexpected command '" << command << "', expected '"
                  << (next < script.size() ? script[next].command : "nothing") << "'";
    return 261;
  }
  if (exchange->whileSending) exchange->whileSending();
  lastWasClose = exchange->command == "close cdaudio";
  openCount += exchange->command == "open cdaudio wait";
  closeCount += lastWasClose;
  std::snprintf(reply, replyLength, "%s", exchange->reply.c_str());
  return exchange->code;
}

bool ScriptedMci::errorString(MCIERROR code, char* text, unsigned textLength) const {
  if (code == 999) return false;
  const std::string start = "text of error " + std::to_string(code);
  if (unterminatedErrorTexts) {
    const std::string end = "the end";
    std::memset(text, 'x', textLength);
    std::memcpy(text, start.data(), start.size());
    std::memcpy(text + textLength - 1 - end.size(), end.data(), end.size());
    return true;
  }
  std::snprintf(text, textLength, "%s", errorText.empty() ? start.c_str() : errorText.c_str());
  return true;
}

std::vector<Exchange> goodRead(const std::vector<std::string>& positions,
                               const std::vector<std::string>& lengths) {
  std::vector<Exchange> script{
      replies("open cdaudio wait", "1"),
      replies("status cdaudio number of tracks", std::to_string(positions.size()))};
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const std::string track = std::to_string(i + 1);
    script.push_back(replies("set cdaudio time format msf"));
    script.push_back(replies("status cdaudio position track " + track, positions[i]));
    script.push_back(replies("status cdaudio length track " + track, lengths[i]));
  }
  script.push_back(replies("close cdaudio"));
  return script;
}

extern "C" MCIERROR mciSendStringA(const char* command, char* returnString, unsigned returnLength,
                                   HWND) {
  if (current == nullptr) {
    ADD_FAILURE() << "command '" << command << "' sent with no scripted MCI";
    return 261;
  }
  return current->send(command, returnString, returnLength);
}

extern "C" BOOL mciGetErrorStringA(MCIERROR error, char* text, unsigned textLength) {
  return current != nullptr && current->errorString(error, text, textLength);
}
