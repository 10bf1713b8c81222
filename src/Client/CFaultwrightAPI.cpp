#include "Client/CFaultwrightAPI.h"

#include "Platform/MPI/BElementC.h"
#include "Platform/MPI/MPICallback.h"

namespace Faultwright {

CFaultwrightAPI::CFaultwrightAPI() : MPISocketClientC(true) {
  // An absent service is no failure here: each request checks the connection.
  Connect(kServiceHost, kServicePort, -1);
}

CFaultwrightAPI::~CFaultwrightAPI() = default;

int CFaultwrightAPI::RaiseError(const CErrorKey& key) { return suppressed_ ? 0 : SendRaise(key.code, key.type, true); }

int CFaultwrightAPI::ClearError(const CErrorKey& key) { return suppressed_ ? 0 : SendClear(key.code, key.type, true); }

int CFaultwrightAPI::SendRequest(bool raise, int32_t code, int32_t type, bool queueing) {
  const std::pair<int32_t, int32_t> key(code, type);
  // The caller's newest word on a key replaces what it asked before: a stale
  // request flushed after this one would undo it in the service.
  if (queueing) {
    pending_.remove_if([code, type](const PendingRequest& older) { return older.code == code && older.type == type; });
  }
  auto state = errorStates_.find(key);
  if (state != errorStates_.end() && state->second == raise) {
    if (queueing) FlushPending();
    return 0;
  }
  if (!VerifyConnection()) {
    if (queueing) pending_.push_back({raise, code, type});
    return -1;
  }
  const bool known = state != errorStates_.end();
  errorStates_[key] = raise;

  BListC args;
  args.Add(code);
  args.Add(type);
  if (raise) args.Add(0);
  if (!SendNotification(raise ? "RaiseError" : "ClearError", &args)) {
    // Not delivered: the service still holds the state from before, and the
    // request must stay due so that a later flush sends it.
    if (known) {
      errorStates_[key] = !raise;
    } else {
      errorStates_.erase(key);
    }
    if (queueing) pending_.push_back({raise, code, type});
    return -1;
  }
  if (queueing) FlushPending();
  return 1;
}

void CFaultwrightAPI::FlushPending() {
  if (pending_.empty() || !VerifyConnection()) return;
  // Retries do not queue, so the list only shrinks during the walk.
  for (auto request = pending_.begin(); request != pending_.end();) {
    int result = SendRequest(request->raise, request->code, request->type, false);
    request = result >= 0 ? pending_.erase(request) : std::next(request);
  }
}

void CFaultwrightAPI::SetNotifyCallback(MPICallbackBase* callback) {
  if (callback != nullptr && callback == notifyCallback_) return;  // deleting it would leave it dangling
  if (notifyCallback_ == nullptr) {
    // The connection owns the registration; registering again replaces it.
    RequestCallback("cb_error_notify", new MPICallback<CFaultwrightAPI>(this, &CFaultwrightAPI::DispatchNotify));
  } else {
    delete notifyCallback_;
  }
  notifyCallback_ = callback;
}

int CFaultwrightAPI::DispatchNotify(const std::string& name, BListC* args) {
  if (notifyCallback_ != nullptr) notifyCallback_->Call(name, args);
  return 0;
}

}  // namespace Faultwright
