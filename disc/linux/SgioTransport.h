#pragma once

#include "ScsiTransport.h"

// MMC commands to the CD drive open on a descriptor, through the kernel's SG_IO. The
// descriptor stays its owner's.
class SgioTransport : public ScsiTransport {
 public:
  explicit SgioTransport(int node) : node(node) {}

  ScsiOutcome send(const std::uint8_t* command, std::size_t commandSize, std::uint8_t* reply,
                   std::size_t replySize) override;

 private:
  int node;
};
