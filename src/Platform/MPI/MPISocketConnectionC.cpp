#include "Platform/MPI/MPISocketConnectionC.h"

#include <utility>

#include "Platform/MPI/BElementC.h"
#include "Platform/MPI/BEncoderC.h"

MPISocketConnectionC::MPISocketConnectionC() = default;

MPISocketConnectionC::~MPISocketConnectionC() { Destroy(); }

bool MPISocketConnectionC::SendNotification(const std::string& name, BListC* args) {
  BListC none;
  return SendTyped("notify", name, args != nullptr ? args : &none);
}

bool MPISocketConnectionC::RequestCallback(const std::string& name, MPICallbackBase* callback) {
  std::unique_ptr<MPICallbackBase>& registration = registrations_[name];
  if (registration.get() != callback) registration.reset(callback);
  if (!IsConnected()) return false;
  CheckCallbacks();
  return requestedOfPeer_.count(name) != 0;
}

bool MPISocketConnectionC::PeerRequested(const std::string& name) const { return requestedByPeer_.count(name) != 0; }

void MPISocketConnectionC::Connected() {
  ++connections_;
  decoder_.Reset();
  requestedOfPeer_.clear();
  requestedByPeer_.clear();
  CheckCallbacks();
}

void MPISocketConnectionC::Destroy() {
  Close();
  registrations_.clear();
}

int MPISocketConnectionC::DoCallback(const std::string& name, BListC* args) {
  if (!PeerRequested(name)) return 0;
  BListC none;
  return SendTyped("callback", name, args != nullptr ? args : &none) ? 1 : -1;
}

int MPISocketConnectionC::DoClientCallback(const std::string& name, BListC* args) {
  auto found = registrations_.find(name);
  if (found == registrations_.end()) return -1;
  BListC none;
  return found->second->Call(name, args != nullptr ? args : &none);
}

int MPISocketConnectionC::ProcessMessages(bool wait) {
  CheckCallbacks();
  return ReceiveMessage(wait);
}

void MPISocketConnectionC::CheckCallbacks() {
  for (const auto& registration : registrations_) {
    const std::string& name = registration.first;
    if (!IsConnected()) return;
    if (requestedOfPeer_.count(name) == 0 && SendTyped("request_callback", name, nullptr)) {
      requestedOfPeer_.insert(name);
    }
  }
}

void MPISocketConnectionC::SetTimeout(int milliseconds) { timeoutMs_ = milliseconds; }

bool MPISocketConnectionC::SendMessage(BEncoderC* encoder) {
  if (!SendBytes(encoder->Bytes())) return false;
  DataSent();
  return true;
}

bool MPISocketConnectionC::SendMessageElement(BElementC* element) {
  BEncoderC encoder;
  encoder.Add(*element);
  return SendMessage(&encoder);
}

int MPISocketConnectionC::ReceiveMessage(bool wait) {
  if (!IsConnected() && held_.empty()) return -1;
  if (receiving_) return 0;
  if (!held_.empty()) {
    std::vector<std::unique_ptr<BDictionaryC>> held = std::move(held_);
    held_.clear();
    receiving_ = true;
    for (std::unique_ptr<BDictionaryC>& message : held) MessageReceived(message.release());
    receiving_ = false;
    // A handler found the connection made since gone: what it had sent, read
    // aside, waits behind these.
    if (!unread_.empty()) KeepOldMessages(nullptr, 0);
    return static_cast<int>(held.size());
  }
  if (wait && !WaitForData(timeoutMs_)) return IsConnected() ? 0 : -1;
  receiving_ = true;
  const unsigned connection = connections_;
  int handled = 0;
  for (int chunk = 0; chunk < kMaxChunksPerReceive; ++chunk) {
    int size = DataReceived();
    if (size <= 0) {
      if (size < 0) handled = -1;
      break;
    }
    int decoded = DecodeReceived(ReceivedData(), static_cast<size_t>(size));
    if (decoded < 0) {
      handled = -1;
      break;
    }
    handled += decoded;
    // A handler connected anew: what the old connection left in held_ goes
    // before anything of the new one.
    if (connections_ != connection) break;
    if (static_cast<size_t>(size) < kReadChunkBytes) break;  // nothing more has arrived
  }
  receiving_ = false;
  return handled;
}

int MPISocketConnectionC::MessageReceived(BDictionaryC* message) {
  std::unique_ptr<BDictionaryC> owned(message);
  return HandleMessage(*message);
}

int MPISocketConnectionC::HandleMessage(const BDictionaryC& message) {
  const std::string type = message.StringAt("type");
  const std::string name = message.StringAt("name");
  if (type == "callback") {
    int result = DoClientCallback(name, message.ListAt("args"));
    return result < 0 ? 0 : result;
  }
  if (type == "request_callback" && requestedByPeer_.size() < kMaxPeerRequests) requestedByPeer_.insert(name);
  return 0;
}

bool MPISocketConnectionC::SendTyped(const char* type, const std::string& name, const BListC* args) {
  // Keys in ascending byte order: "args" < "name" < "type".
  BEncoderC encoder;
  encoder.BeginDictionary();
  if (args != nullptr) {
    encoder.AddString("args");
    encoder.Add(*args);
  }
  encoder.AddString("name");
  encoder.AddString(name);
  encoder.AddString("type");
  encoder.AddString(type);
  encoder.End();
  return SendMessage(&encoder);
}

bool MPISocketConnectionC::StillConnected() {
  if (!PeerHungUp()) return true;
  // What the peer sent before its end goes behind the chunk that a handler
  // asking now is given, so it is read aside: ReceivedData() holds that chunk.
  while (IsConnected()) {
    const size_t kept = unread_.size();
    unread_.resize(kept + kReadChunkBytes);
    int size = ReceiveInto(unread_.data() + kept, kReadChunkBytes);  // loses the connection at the peer's end
    unread_.resize(kept + static_cast<size_t>(size > 0 ? size : 0));
    if (size <= 0) break;
  }
  if (!receiving_) KeepOldMessages(nullptr, 0);
  return PeerStillConnected();  // loses what is left of the connection
}

int MPISocketConnectionC::DecodeReceived(const char* bytes, size_t size) {
  const unsigned connection = connections_;
  int handled = 0;
  while (size > 0) {
    size_t used = 0;
    std::unique_ptr<BDictionaryC> message;
    BDecoderC::Result result = decoder_.Decode(bytes, size, &used, &message);
    bytes += used;
    size -= used;
    if (result == BDecoderC::kMalformed) {
      Lose();
      return -1;
    }
    if (result == BDecoderC::kNeedMore) break;
    MessageReceived(message.release());
    ++handled;
    if (connections_ != connection || !IsConnected()) {
      // A handler lost the connection or made a new one: the rest is the old one's.
      KeepOldMessages(bytes, size);
      return IsConnected() ? handled : -1;
    }
  }
  return handled;
}

void MPISocketConnectionC::KeepOldMessages(const char* bytes, size_t size) {
  const std::pair<const char*, size_t> runs[] = {{bytes, size}, {unread_.data(), unread_.size()}};
  for (auto [next, left] : runs) {
    BDecoderC::Result result = BDecoderC::kMessage;
    while (left > 0 && result != BDecoderC::kMalformed) {
      size_t used = 0;
      std::unique_ptr<BDictionaryC> message;
      result = decoder_.Decode(next, left, &used, &message);
      next += used;
      left -= used;
      if (result == BDecoderC::kMessage) held_.push_back(std::move(message));
    }
    if (result == BDecoderC::kMalformed) break;
  }
  unread_.clear();
  decoder_.Reset();  // a half message of the old connection is dropped
}
