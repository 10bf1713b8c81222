// CDiagnosticService: the unit's diagnostic service, the receiving end of the
// components' "RaiseError" (code, type, 0) and "ClearError" (code, type)
// notifications.
//
// It listens on 127.0.0.1 port 5300 and serves every client in one thread,
// from one poll loop that also watches the stop signals and the moment of the
// next save. Each notification is written to the output as one flushed line,
// "RaiseError <error identifier text>" or "ClearError <...>". A client whose
// bytes make no message, or whose message is not a notification with an
// integer code and type, is dropped with a line on the error stream; the
// others go on.
//
// Without a catalogue every notification is passed on as "cb_error_notify"
// (code, type, 1 for a raise or 0 for a clear) to the clients that asked for
// it. With one, a notification raises or clears the error in the catalogue,
// not silently, so that the errors that its trigger sets raise or clear
// automatically follow; every such change (and only a change) goes through a
// CViewPublisher into the shared segment of the working directory, and out as
// "cb_error_notify". A (code, type) that the catalogue does not hold is
// reported and ignored. Within kSyncDelay of a change the segment is checked
// (CViewPublisher::Verify) and, with a state file, the states are saved.
//
// With a catalogue, one service serves a working directory (CDirectoryLock).
//
// Run returns 0 after SIGINT or SIGTERM, having saved the states and closed
// the clients, and 1 when the service cannot start (another service has the
// working directory, the port is taken, the catalogue is empty, the segment
// cannot be attached or is another user's), its wait fails or the last save
// fails.
#ifndef FAULTWRIGHT_SERVICE_CDIAGNOSTICSERVICE_H
#define FAULTWRIGHT_SERVICE_CDIAGNOSTICSERVICE_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"
#include "Platform/MPI/MPISocketServerC.h"
#include "Service/CDirectoryLock.h"
#include "Service/CServiceOptions.h"
#include "Service/CStateFile.h"
#include "Service/CStopSignals.h"
#include "Service/CViewPublisher.h"

namespace Faultwright {

class CDiagnosticService : private CErrorDatabaseListener {
 public:
  static constexpr const char* kAddress = "127.0.0.1";
  static const unsigned short kPort = 5300;
  // From a change to the check of the segment and the save.
  static constexpr std::chrono::milliseconds kSyncDelay{500};
  // From a check that could not read the segment, or had to repair it, to the next.
  static constexpr std::chrono::milliseconds kRecheckDelay{100};
  // From a failed save to the next attempt.
  static constexpr std::chrono::milliseconds kSaveRetryDelay{1000};

  // Lines go to out (notifications) and err (everything else); neither is owned.
  CDiagnosticService(CServiceOptions options, FILE* out, FILE* err);
  ~CDiagnosticService() override;
  CDiagnosticService(const CDiagnosticService&) = delete;
  CDiagnosticService& operator=(const CDiagnosticService&) = delete;

  int Run();

 private:
  using Clock = std::chrono::steady_clock;

  bool Start();
  bool OpenCatalogue();
  void Serve(const MPIReceivedMessageC& received);
  void Apply(const std::string& notification, uint32_t code, int32_t type);
  void Drop(int client, const std::string& reason);

  void ErrorRaised(unsigned code, EProblemType type) override;
  void ErrorCleared(unsigned code, EProblemType type) override;
  void Notify(unsigned code, int type, bool raised);

  void ScheduleSync(std::chrono::milliseconds delay);
  int PollTimeout() const;
  // Checks the segment and saves; false when either must be tried again.
  bool Sync();
  // False when the states could not be saved.
  bool SyncAtExit();

  void Report(const char* format, ...) __attribute__((format(printf, 2, 3)));

  CServiceOptions options_;
  FILE* out_;
  FILE* err_;
  CDirectoryLock directoryLock_;
  MPISocketServerC server_;
  std::unique_ptr<CErrorDatabase> catalogue_;
  std::unique_ptr<CViewPublisher> publisher_;
  std::unique_ptr<CStateFile> stateFile_;
  std::set<int> droppedInBatch_;  // their later messages of the same poll are not served
  bool syncDue_ = false;
  Clock::time_point syncAt_;
  // Trouble is reported when it starts and when it ends, not at every retry.
  bool segmentTrouble_ = false;
  bool saveTrouble_ = false;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CDIAGNOSTICSERVICE_H
