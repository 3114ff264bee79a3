// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace evm::scpi {

// The DNS-SD service type of a raw SCPI socket, which VISA resource
// browsers look for.
inline constexpr const char* kScpiRawService = "_scpi-raw._tcp";

// Announces the server over multicast DNS while it lives, through the Avahi
// daemon where the program was built with Avahi and the daemon runs. Without
// either the server serves all the same; `log` is told once why there is no
// announcement, and once when the announcement is up (from a thread of
// Avahi's, so it must be safe to call from any thread).
class MdnsAnnouncement {
 public:
  MdnsAnnouncement(const std::string& name, uint16_t port,
                   std::function<void(const std::string&)> log);
  ~MdnsAnnouncement();
  MdnsAnnouncement(const MdnsAnnouncement&) = delete;
  MdnsAnnouncement& operator=(const MdnsAnnouncement&) = delete;

  // Whether this build can announce at all.
  static bool Built();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace evm::scpi
