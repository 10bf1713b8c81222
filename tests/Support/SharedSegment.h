// Removes the shared segment and semaphore set of the live error database that
// belongs to a working directory (key ftok(directory, Faultwright::CErrorDatabaseView::kKeyId)). Tests and
// benchmarks clean up with it; the library itself never removes them.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SHAREDSEGMENT_H
#define FAULTWRIGHT_TESTS_SUPPORT_SHAREDSEGMENT_H

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include <string>

#include "Common/View/CErrorDatabaseView.h"

namespace FaultwrightTest {

inline void RemoveSharedSegment(const std::string& directory) {
  key_t key = ftok(directory.c_str(), Faultwright::CErrorDatabaseView::kKeyId);
  if (key == -1) return;
  int segment = shmget(key, 0, 0);
  if (segment != -1) shmctl(segment, IPC_RMID, nullptr);
  int semaphores = semget(key, 0, 0);
  if (semaphores != -1) semctl(semaphores, 0, IPC_RMID);
}

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_SHAREDSEGMENT_H
