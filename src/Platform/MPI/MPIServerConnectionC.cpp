#include "Platform/MPI/MPIServerConnectionC.h"

int MPIServerConnectionC::MessageReceived(BDictionaryC* message) {
  received_.emplace_back(message);
  return HandleMessage(*message);
}

std::vector<std::unique_ptr<BDictionaryC>> MPIServerConnectionC::TakeMessages() {
  std::vector<std::unique_ptr<BDictionaryC>> messages;
  messages.swap(received_);
  return messages;
}
