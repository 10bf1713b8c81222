// CFaultwrightAPI: a process's client of the diagnostic service.
//
// Construction connects to the service on this machine (kServiceHost, port
// kServicePort); a service that is absent does not stop construction. RaiseError
// and ClearError send the notifications "RaiseError" (code, type, 0) and
// "ClearError" (code, type), and return 1 when sent, 0 when there was nothing to
// do, and -1 when the service could not be reached: the request is then queued
// and sent after a later request of the same client, behind it. The client
// remembers what it last delivered per key and does not repeat a request that
// would change nothing. A request replaces the requests for its key still
// queued, so whatever the order of requests and outages, the last notification
// the service gets for a key is the last request made for it. A request whose
// send fails is queued like one that found no connection, and the key's
// remembered state is left as it was. Requests still queued at destruction are
// lost.
//
// The notify callback receives the service's "cb_error_notify" callbacks, which
// are delivered by ProcessMessages. The client takes a callback over when it is
// set, deletes it when another replaces it, and leaves it to its user at
// destruction.
//
// Used from one thread. The virtual functions keep the layer's order, with
// RaiseError and ClearError after it.
#ifndef FAULTWRIGHT_CLIENT_CFAULTWRIGHTAPI_H
#define FAULTWRIGHT_CLIENT_CFAULTWRIGHTAPI_H

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

#include "Identifiers/CErrorKey.h"
#include "Platform/MPI/MPICallbackBase.h"
#include "Platform/MPI/MPISocketClientC.h"

namespace Faultwright {

class CFaultwrightAPI : public MPISocketClientC {
 public:
  static constexpr const char* kServiceHost = "localhost";
  static constexpr unsigned short kServicePort = 5300;

  CFaultwrightAPI();
  ~CFaultwrightAPI() override;

  virtual int RaiseError(const CErrorKey& key);
  virtual int ClearError(const CErrorKey& key);

  // Holds callback (null: none) for "cb_error_notify", deleting the one held
  // before; asks the service for the callback when none was held, also when
  // callback is null.
  void SetNotifyCallback(MPICallbackBase* callback);
  // A suppressed client does nothing: every request returns 0.
  void SetSuppressed(bool suppressed) { suppressed_ = suppressed; }
  // The number of requests waiting to be sent.
  size_t PendingCount() const { return pending_.size(); }

 private:
  struct PendingRequest {
    bool raise;
    int32_t code;
    int32_t type;
  };

  int SendRaise(int32_t code, int32_t type, bool queueing) { return SendRequest(true, code, type, queueing); }
  int SendClear(int32_t code, int32_t type, bool queueing) { return SendRequest(false, code, type, queueing); }
  int SendRequest(bool raise, int32_t code, int32_t type, bool queueing);
  void FlushPending();
  int DispatchNotify(const std::string& name, BListC* args);

  MPICallbackBase* notifyCallback_ = nullptr;
  std::map<std::pair<int32_t, int32_t>, bool> errorStates_;  // (code, type) -> last sent was a raise
  std::list<PendingRequest> pending_;
  bool suppressed_ = false;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_CLIENT_CFAULTWRIGHTAPI_H
