// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/mdns_announce.h"

#include <utility>

#ifdef EVM_HAVE_AVAHI
#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#endif

namespace evm::scpi {

#ifdef EVM_HAVE_AVAHI

// Avahi calls back on its poll thread, and with its lock held: the state
// below is only touched there, or before the thread starts and after it stops.
struct MdnsAnnouncement::Impl {
  std::string name;
  uint16_t port = 0;
  std::function<void(const std::string&)> log;
  AvahiThreadedPoll* poll = nullptr;
  AvahiClient* client = nullptr;
  AvahiEntryGroup* group = nullptr;
  bool told = false;  // one failure is worth saying; the rest follow from it

  void Fail(const std::string& why) {
    if (told) return;
    told = true;
    log("not announced over mDNS: " + why + "; clients give the address themselves");
  }

  void Publish(AvahiClient* c) {
    if (!group) group = avahi_entry_group_new(c, &Impl::OnGroup, this);
    if (!group) {
      Fail(avahi_strerror(avahi_client_errno(c)));
      return;
    }
    if (!avahi_entry_group_is_empty(group)) return;
    const int error = avahi_entry_group_add_service(
        group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0), name.c_str(),
        kScpiRawService, nullptr, nullptr, port, nullptr);
    if (error == AVAHI_ERR_COLLISION) {
      Rename();
      Publish(c);
      return;
    }
    if (error < 0 || (avahi_entry_group_commit(group) < 0)) {
      Fail(avahi_strerror(error < 0 ? error : avahi_client_errno(c)));
    }
  }

  // Another service on the network has the name: "name #2" and so on.
  void Rename() {
    char* other = avahi_alternative_service_name(name.c_str());
    name = other;
    avahi_free(other);
  }

  static void OnGroup(AvahiEntryGroup* g, AvahiEntryGroupState state, void* data) {
    auto* self = static_cast<Impl*>(data);
    switch (state) {
      case AVAHI_ENTRY_GROUP_ESTABLISHED:
        self->log("announced over mDNS as '" + self->name + "' (" + kScpiRawService + ", port " +
                  std::to_string(self->port) + ")");
        break;
      case AVAHI_ENTRY_GROUP_COLLISION:
        self->Rename();
        avahi_entry_group_reset(g);
        self->Publish(avahi_entry_group_get_client(g));
        break;
      case AVAHI_ENTRY_GROUP_FAILURE:
        self->Fail(avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(g))));
        break;
      case AVAHI_ENTRY_GROUP_UNCOMMITED:
      case AVAHI_ENTRY_GROUP_REGISTERING: break;
    }
  }

  static void OnClient(AvahiClient* c, AvahiClientState state, void* data) {
    auto* self = static_cast<Impl*>(data);
    switch (state) {
      case AVAHI_CLIENT_S_RUNNING: self->Publish(c); break;
      case AVAHI_CLIENT_S_COLLISION:
      case AVAHI_CLIENT_S_REGISTERING:
        // The host's own name is being settled: publish again once it is.
        if (self->group) avahi_entry_group_reset(self->group);
        break;
      case AVAHI_CLIENT_FAILURE: self->Fail(avahi_strerror(avahi_client_errno(c))); break;
      case AVAHI_CLIENT_CONNECTING: break;
    }
  }
};

MdnsAnnouncement::MdnsAnnouncement(const std::string& name, uint16_t port,
                                   std::function<void(const std::string&)> log)
    : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  m.name = name;
  m.port = port;
  m.log = std::move(log);
  m.poll = avahi_threaded_poll_new();
  if (!m.poll) {
    m.Fail("no memory for Avahi's thread");
    return;
  }
  int error = 0;
  m.client = avahi_client_new(avahi_threaded_poll_get(m.poll), static_cast<AvahiClientFlags>(0),
                              &Impl::OnClient, &m, &error);
  if (!m.client) {
    m.Fail(error == AVAHI_ERR_NO_DAEMON ? "the Avahi daemon is not running"
                                        : std::string(avahi_strerror(error)));
    return;
  }
  if (avahi_threaded_poll_start(m.poll) < 0) m.Fail("Avahi's thread did not start");
}

MdnsAnnouncement::~MdnsAnnouncement() {
  Impl& m = *impl_;
  if (m.poll) avahi_threaded_poll_stop(m.poll);
  // Freeing the client withdraws its groups, and with them the announcement.
  if (m.client) avahi_client_free(m.client);
  if (m.poll) avahi_threaded_poll_free(m.poll);
}

bool MdnsAnnouncement::Built() {
  return true;
}

#else

struct MdnsAnnouncement::Impl {};

MdnsAnnouncement::MdnsAnnouncement(const std::string&, uint16_t,
                                   std::function<void(const std::string&)> log) {
  log("not announced over mDNS: built without Avahi; clients give the address themselves");
}

MdnsAnnouncement::~MdnsAnnouncement() = default;

bool MdnsAnnouncement::Built() {
  return false;
}

#endif

}  // namespace evm::scpi
