#include "Support/SegmentDirectory.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "Support/SharedSegment.h"

namespace FaultwrightTest {

SegmentDirectory::SegmentDirectory() : started_(std::filesystem::current_path().string()) {
  if (chdir(directory_.Path().c_str()) != 0) throw std::runtime_error("cannot enter " + directory_.Path());
  key_ = ftok(".", Faultwright::CErrorDatabaseView::kKeyId);
  if (key_ == -1) throw std::runtime_error("ftok failed in " + directory_.Path());
}

SegmentDirectory::~SegmentDirectory() {
  // Attached views keep a removed segment until they end; nothing is left behind.
  RemoveSharedSegment(".");
  if (chdir(started_.c_str()) != 0) std::terminate();  // every later test would run in the wrong place
}

Faultwright::CErrorDatabaseView::Segment* SegmentDirectory::Segment() const {
  void* address = shmat(shmget(key_, 0, 0), nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) throw std::runtime_error("shmat failed");
  return static_cast<Faultwright::CErrorDatabaseView::Segment*>(address);
}

}  // namespace FaultwrightTest
