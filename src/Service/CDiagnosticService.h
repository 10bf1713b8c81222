// CDiagnosticService: the unit's diagnostic service, the receiving end of the
// components' "RaiseError" (code, type, 0) and "ClearError" (code, type)
// notifications.
//
// It listens on 127.0.0.1 port 5300 and serves every client in one thread,
// from one poll loop that also watches the stop signals and the moment of the
// next save. Each notification is written to the output as one line,
// "RaiseError <error identifier text>" or "ClearError <...>". Messages of
// another type are ignored with a line on the error stream. A client whose
// bytes make no message, whose notification lacks an integer code and type,
// or who does not read the callbacks it asked for, is dropped with a line on
// the error stream that names it and the reason; the others go on.
//
// Nothing that a client or a reader of the output does holds the loop up:
// the server reads each client a bounded amount per turn and never waits to
// send (MPISocketServerC), and both streams are written without waiting
// (CLineOutput); lines that a blocked stream could not take are counted and
// reported once it takes lines again, or at the end.
//
// Without a catalogue every notification is passed on as "cb_error_notify"
// (code, type, 1 for a raise or 0 for a clear) to the clients that asked for
// it. With one, a notification raises or clears the error in the catalogue,
// not silently, so that the errors that its trigger sets raise or clear
// automatically follow; every such change (and only a change) goes through a
// CViewPublisher into the shared segment of the working directory, and out as
// "cb_error_notify". A (code, type) that the catalogue does not hold is
// reported and ignored. Within kSyncDelay of a change the segment is checked
// (CViewPublisher::Verify) and, with a state file, the states are saved. The
// segment is also checked every kIdleCheckDelay without a change, since
// another process may remove it, its semaphore set or its table at any time
// and readers would see nothing until the next change.
//
// With a catalogue, one service serves a working directory (CDirectoryLock).
// SIGHUP loads the catalogue again from its directory: the errors that stay
// keep their states and counters, the new ones start inactive, and the
// segment and the state file get the new table at once. A catalogue that
// does not load (no top file, no errors) leaves the one before in place,
// with a line that says why.
//
// Under a service manager (CSystemdNotifier) the service says "READY=1" once
// it listens and has published, "RELOADING=1" and "READY=1" around a reload,
// "STOPPING=1" when it stops, and pings the watchdog from its loop. Its own
// lines on the error stream carry the journal's priority prefixes where that
// stream is the journal (CJournalStream): errors, warnings, and information.
//
// On SIGINT or SIGTERM the service stops accepting, applies every complete
// message that its clients had written by then (for kStopReadLimit at most,
// and no longer once a second stop signal arrives), saves the states and
// closes the clients. Run then returns 0; it returns 1 when the service cannot
// start (another service has the working directory, the port is taken, the
// catalogue is empty, the segment cannot be attached or is another user's),
// its wait fails or the last save fails.
#ifndef FAULTWRIGHT_SERVICE_CDIAGNOSTICSERVICE_H
#define FAULTWRIGHT_SERVICE_CDIAGNOSTICSERVICE_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "Client/CFaultwrightAPI.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"
#include "Platform/MPI/MPISocketServerC.h"
#include "Service/CDirectoryLock.h"
#include "Service/CJournalStream.h"
#include "Service/CLineOutput.h"
#include "Service/CServiceOptions.h"
#include "Service/CServiceSignals.h"
#include "Service/CStateFile.h"
#include "Service/CSystemdNotifier.h"
#include "Service/CViewPublisher.h"

namespace Faultwright {

class CDiagnosticService : private CErrorDatabaseListener, private MPIServerHandlerC {
 public:
  static constexpr const char* kAddress = "127.0.0.1";
  static constexpr unsigned short kPort = CFaultwrightAPI::kServicePort;
  // From a change to the check of the segment and the save.
  static constexpr std::chrono::milliseconds kSyncDelay{500};
  // From a check that could not read the segment, or had to repair it, to the next.
  static constexpr std::chrono::milliseconds kRecheckDelay{100};
  // From a check that found the segment as it should be to the next.
  static constexpr std::chrono::milliseconds kIdleCheckDelay{1000};
  // From a failed save to the next attempt.
  static constexpr std::chrono::milliseconds kSaveRetryDelay{1000};
  // After a stop signal, the clients' requests are read for this long at most.
  static constexpr std::chrono::milliseconds kStopReadLimit{5000};
  // At the end, each stream's last lines wait this long at most for its reader.
  static constexpr std::chrono::milliseconds kOutputDrainLimit{300};
  // The longest wait while lines wait for a stream to take them.
  static constexpr int kOutputRetryMs = 10;

  // Lines go to out (notifications) and err (everything else); neither is owned.
  CDiagnosticService(CServiceOptions options, FILE* out, FILE* err);
  ~CDiagnosticService() override;
  CDiagnosticService(const CDiagnosticService&) = delete;
  CDiagnosticService& operator=(const CDiagnosticService&) = delete;

  int Run();

 private:
  using Clock = std::chrono::steady_clock;

  bool Start();
  void RaiseDescriptorLimit();
  bool OpenCatalogue();
  // The catalogue of the configuration directory; null, with a line that
  // begins with failure, when it does not load.
  std::unique_ptr<CErrorDatabase> LoadCatalogue(const char* failure);
  void Reload();
  // Sends state to the service manager, if any.
  void Tell(const char* state);
  void ReportNotifyTrouble();
  void MessageReceived(int client, std::unique_ptr<BDictionaryC> message) override;
  void ClientDropped(int client, const std::string& reason) override;
  void SheddingChanged(bool started, size_t turnedAway) override;
  void Apply(const std::string& notification, uint32_t code, int32_t type);
  void Drop(int client, const std::string& reason);

  void ErrorRaised(unsigned code, EProblemType type) override;
  void ErrorCleared(unsigned code, EProblemType type) override;
  void Notify(unsigned code, int type, bool raised);

  void ScheduleSync(std::chrono::milliseconds delay);
  int PollTimeout() const;
  // Checks the segment and saves; false when either must be tried again.
  bool Sync();
  // Checks the segment and sets the moment of the next check; false when it
  // could not be read or had to be repaired.
  bool Check();
  // False when the states could not be saved.
  bool SyncAtExit();

  void Report(CJournalStream::Priority priority, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Writes what the streams take now, and reports the lines they dropped.
  void FlushOutput();
  void FlushOutputAtEnd();

  CServiceOptions options_;
  CLineOutput out_;
  CLineOutput err_;
  CJournalStream journal_;  // of err_
  CSystemdNotifier notifier_;
  CDirectoryLock directoryLock_;
  MPISocketServerC server_;
  std::unique_ptr<CErrorDatabase> catalogue_;
  std::unique_ptr<CViewPublisher> publisher_;
  std::unique_ptr<CStateFile> stateFile_;
  bool syncDue_ = false;
  Clock::time_point syncAt_;
  Clock::time_point checkAt_;  // with a publisher only
  // Trouble is reported when it starts and when it ends, not at every retry.
  bool segmentTrouble_ = false;
  bool saveTrouble_ = false;
  bool notifyTrouble_ = false;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CDIAGNOSTICSERVICE_H
