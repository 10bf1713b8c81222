#include "Platform/MPI/MPIServerConnectionC.h"

#include <sys/socket.h>

#include <cerrno>

#include "Platform/MPI/BEncoderC.h"

int MPIServerConnectionC::MessageReceived(BDictionaryC* message) {
  received_.emplace_back(message);
  return HandleMessage(*message);
}

bool MPIServerConnectionC::SendMessage(BEncoderC* encoder) {
  if (!IsConnected()) return false;
  const std::string& bytes = encoder->Bytes();
  if (queued_.size() + bytes.size() > kMaxQueuedBytes) {
    dropReason_ = "it does not read what it asked for (" + std::to_string(queued_.size()) + " bytes wait to be sent)";
    queued_.clear();
    Lose();
    return false;
  }
  const bool waiting = !queued_.empty();  // then the server flushes once the client can take more
  queued_ += bytes;
  return waiting || Flush();
}

bool MPIServerConnectionC::Flush() {
  while (!queued_.empty()) {
    ssize_t count = send(Descriptor(), queued_.data(), queued_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (count > 0) {
      queued_.erase(0, static_cast<size_t>(count));
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    queued_.clear();
    Lose();
    return false;
  }
  return true;
}

int MPIServerConnectionC::Receive(size_t maxBytes) {
  int size = ReceiveUpTo(maxBytes);
  if (size <= 0) return size;
  if (DecodeReceived(ReceivedData(), static_cast<size_t>(size)) < 0) {
    if (dropReason_.empty()) dropReason_ = "its bytes make no message (malformed, or past the size or depth limits)";
    return -1;
  }
  return size;
}

std::vector<std::unique_ptr<BDictionaryC>> MPIServerConnectionC::TakeMessages() {
  std::vector<std::unique_ptr<BDictionaryC>> messages;
  messages.swap(received_);
  return messages;
}
