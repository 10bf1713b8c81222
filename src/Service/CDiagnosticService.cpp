#include "Service/CDiagnosticService.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "Identifiers/Identifiers.h"
#include "Platform/Core/SystemError.h"
#include "Platform/MPI/BElementC.h"

namespace Faultwright {

namespace {

const char kNotifyCallback[] = "cb_error_notify";
const int kExitSyncAttempts = 5;
const size_t kMaxQuotedBytes = 40;

// A client's bytes as they may appear in a log line: quoted, printable ASCII
// only (others become '?'), cut short after kMaxQuotedBytes.
std::string LoggableBytes(const std::string& bytes) {
  std::string text = "\"";
  for (size_t i = 0; i < bytes.size() && i < kMaxQuotedBytes; ++i) {
    text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? bytes[i] : '?';
  }
  return text + (bytes.size() > kMaxQuotedBytes ? "...\"" : "\"");
}

bool IsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

}  // namespace

CDiagnosticService::CDiagnosticService(CServiceOptions options, FILE* out, FILE* err)
    : options_(std::move(options)), out_(fileno(out)), err_(fileno(err)), journal_(fileno(err)) {}

CDiagnosticService::~CDiagnosticService() {
  // The catalogue outlives the publisher that listens to it.
  if (catalogue_) catalogue_->SetListener(nullptr);
}

int CDiagnosticService::Run() {
  CServiceSignals signals;
  if (!signals.IsOpen()) {
    Report(CJournalStream::kError, "cannot watch the signals: %s", signals.ErrorText().c_str());
    return 1;
  }
  if (!Start()) {
    FlushOutputAtEnd();
    return 1;
  }
  server_.SetExtraReader(signals.Descriptor());
  server_.SetHandler(this);
  // The service manager may start the units that need us once we listen
  // and the segment holds the catalogue.
  Tell("READY=1");

  int status = 0;
  int stop = 0;
  while (stop == 0) {
    if (server_.Poll(PollTimeout()) < 0) {
      Report(CJournalStream::kError, "%s", Core::SystemError("waiting for clients failed").c_str());
      status = 1;
      break;
    }
    for (int signal; stop == 0 && (signal = signals.Take()) != 0;) {
      if (CServiceSignals::IsReload(signal)) {
        Reload();
      } else {
        stop = signal;
      }
    }
    if (syncDue_ && Clock::now() >= syncAt_) {
      Sync();
    } else if (publisher_ && Clock::now() >= checkAt_) {
      Check();
    }
    // Only a loop that turns pings: a stalled one gets the service restarted.
    if (!notifier_.PingIfDue()) ReportNotifyTrouble();
    FlushOutput();
  }
  Tell("STOPPING=1");
  if (stop != 0) {
    Report(CJournalStream::kInfo, "stopping on %s", strsignal(stop));
    // What the clients wrote before the stop is theirs to rely on.
    const Clock::time_point start = Clock::now();
    if (!server_.Finish(start + kStopReadLimit)) {
      const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
      Report(
          CJournalStream::kWarning, "stopped reading the clients after %lld ms%s: their later requests are not applied",
          static_cast<long long>(spent.count()), CServiceSignals::IsStop(signals.Take()) ? ", on a second stop" : "");
    }
  }
  if (!SyncAtExit()) status = 1;
  server_.Close();
  FlushOutputAtEnd();
  return status;
}

void CDiagnosticService::Tell(const char* state) {
  if (!notifier_.Send(state)) ReportNotifyTrouble();
}

void CDiagnosticService::ReportNotifyTrouble() {
  // Once: a manager that does not take one message takes none.
  if (!notifyTrouble_) {
    Report(CJournalStream::kWarning, "cannot notify the service manager: %s", notifier_.ErrorText().c_str());
  }
  notifyTrouble_ = true;
}

bool CDiagnosticService::Start() {
  // The working directory first: a second service there, even one that could
  // have the port of another network namespace, stops before it could
  // disturb the segment of the first.
  if (!options_.configDirectory.empty() && !directoryLock_.Take()) {
    Report(CJournalStream::kError, "cannot start: %s", directoryLock_.ErrorText().c_str());
    return false;
  }
  RaiseDescriptorLimit();
  if (!server_.Listen(kAddress, kPort)) {
    Report(CJournalStream::kError, "cannot listen: %s", server_.ErrorText().c_str());
    return false;
  }
  if (options_.configDirectory.empty()) {
    Report(CJournalStream::kInfo, "serving %s port %u without a catalogue", kAddress, kPort);
    return true;
  }
  if (!OpenCatalogue()) return false;
  Report(CJournalStream::kInfo, "serving %s port %u with %zu errors from %s (%zu load problems)", kAddress, kPort,
         catalogue_->Errors().size(), options_.configDirectory.c_str(), catalogue_->LoadProblems().size());
  return true;
}

void CDiagnosticService::RaiseDescriptorLimit() {
  // Each client takes a descriptor; the hard limit is as far as the system lets us go.
  rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    Report(CJournalStream::kWarning, "%s", Core::SystemError("cannot read the descriptor limit").c_str());
  } else if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
      Report(CJournalStream::kWarning, "%s", Core::SystemError("cannot raise the descriptor limit").c_str());
  }
}

std::unique_ptr<CErrorDatabase> CDiagnosticService::LoadCatalogue(const char* failure) {
  // The loader's problem lines go out as they are, as warnings of the error
  // stream, which never waits for a reader; without memory for them they go
  // straight to standard error.
  char* problems = nullptr;
  size_t problemBytes = 0;
  std::FILE* problemOutput = open_memstream(&problems, &problemBytes);
  auto catalogue =
      std::make_unique<CErrorDatabase>(options_.configDirectory, problemOutput != nullptr ? problemOutput : stderr);
  if (problemOutput != nullptr && std::fclose(problemOutput) == 0) {
    const std::string prefix = journal_.Prefix(CJournalStream::kWarning);
    for (const char *line = problems, *end = problems + problemBytes; line < end;) {
      const char* lineEnd = std::find(line, end, '\n');
      err_.Add(prefix + std::string(line, lineEnd) + "\n");
      line = lineEnd + 1;
    }
  }
  std::free(problems);
  if (!catalogue->Errors().empty()) return catalogue;
  // The loader gives an empty catalogue for a top file it cannot open.
  const std::string top = options_.configDirectory + CErrorDatabase::kTopFileName;
  if (access(top.c_str(), R_OK) != 0) {
    Report(CJournalStream::kError, "%s", Core::SystemError(failure + (": cannot read " + top)).c_str());
  } else {
    Report(CJournalStream::kError, "%s: no errors in the catalogue of %s", failure, options_.configDirectory.c_str());
  }
  return nullptr;
}

bool CDiagnosticService::OpenCatalogue() {
  catalogue_ = LoadCatalogue("no catalogue");
  if (!catalogue_) return false;
  std::vector<CErrorState> records;
  if (!options_.stateFile.empty()) {
    stateFile_ = std::make_unique<CStateFile>(options_.stateFile);
    switch (stateFile_->Load(records)) {
      case CStateFile::kLoaded:
        Report(CJournalStream::kInfo, "restored %zu error states from %s", records.size(), options_.stateFile.c_str());
        break;
      case CStateFile::kAbsent:
        break;
      case CStateFile::kRejected:
        Report(CJournalStream::kWarning, "state file %s ignored: %s", options_.stateFile.c_str(),
               stateFile_->ErrorText().c_str());
        break;
    }
  }
  CErrorDatabaseListener* callbacks = this;
  publisher_ = std::make_unique<CViewPublisher>(*catalogue_, callbacks);
  if (!publisher_->Open(records)) {
    Report(CJournalStream::kError, "cannot publish the error states in the shared segment of the working directory");
    return false;
  }
  catalogue_->SetListener(publisher_.get());
  ScheduleSync(std::chrono::milliseconds(0));  // the first check, and the first save
  return true;
}

void CDiagnosticService::Reload() {
  if (!publisher_) {
    Report(CJournalStream::kWarning, "reload asked for, but the service runs without a catalogue");
    return;
  }
  Tell("RELOADING=1");
  std::unique_ptr<CErrorDatabase> catalogue = LoadCatalogue("catalogue not reloaded, the one before is kept");
  if (catalogue) {
    size_t kept = 0;
    for (const CError& error : catalogue->Errors()) {
      if (catalogue_->FindError(error.Code(), error.Type()) != nullptr) ++kept;
    }
    catalogue_->SetListener(nullptr);
    publisher_->Reload(*catalogue);
    catalogue_ = std::move(catalogue);
    catalogue_->SetListener(publisher_.get());
    ScheduleSync(std::chrono::milliseconds(0));  // the new table into the segment, and a save
    Report(CJournalStream::kInfo, "catalogue reloaded from %s: %zu errors, %zu of them kept (%zu load problems)",
           options_.configDirectory.c_str(), catalogue_->Errors().size(), kept, catalogue_->LoadProblems().size());
  }
  Tell("READY=1");
}

void CDiagnosticService::MessageReceived(int client, std::unique_ptr<BDictionaryC> received) {
  const BDictionaryC& message = *received;
  const std::string type = message.StringAt("type");
  const std::string name = message.StringAt("name");
  if (type == "request_callback") return;  // the client's connection keeps the request
  if (type != "notify") {
    Report(CJournalStream::kWarning, "client %d: a message of type %s ignored", client, LoggableBytes(type).c_str());
    return;
  }
  if (name != "RaiseError" && name != "ClearError") {
    Report(CJournalStream::kWarning, "client %d: notification %s ignored", client, LoggableBytes(name).c_str());
    return;
  }
  const BListC* args = message.ListAt("args");
  int64_t code = 0;
  int64_t errorType = 0;
  if (args == nullptr || !args->IntegerAt(0, &code) || !args->IntegerAt(1, &errorType) || !IsInt32(code) ||
      !IsInt32(errorType)) {
    return Drop(client, "a " + name + " without an error code and type");
  }
  const uint32_t errorCode = static_cast<uint32_t>(static_cast<int32_t>(code));
  out_.Add(name + " " + ErrorIdentifierText(errorCode, static_cast<int32_t>(errorType)) + "\n");
  Apply(name, errorCode, static_cast<int32_t>(errorType));
}

void CDiagnosticService::Apply(const std::string& notification, uint32_t code, int32_t type) {
  const bool raise = notification == "RaiseError";
  if (!catalogue_) return Notify(code, type, raise);
  if (catalogue_->FindError(code, type) == nullptr) {
    Report(CJournalStream::kWarning, "%s of %s (code 0x%06X, type %d) ignored: not in the catalogue",
           notification.c_str(), ErrorIdentifierText(code, type).c_str(), code, type);
    return;
  }
  if (raise) {
    catalogue_->RaiseError(code, type, false);
  } else {
    catalogue_->ClearError(code, type, false);
  }
}

void CDiagnosticService::Drop(int client, const std::string& reason) {
  Report(CJournalStream::kWarning, "client %d dropped: it sent %s", client, reason.c_str());
  server_.Drop(client);
}

void CDiagnosticService::ClientDropped(int client, const std::string& reason) {
  Report(CJournalStream::kWarning, "client %d dropped: %s", client, reason.c_str());
}

void CDiagnosticService::SheddingChanged(bool started, size_t turnedAway) {
  if (started) {
    Report(CJournalStream::kWarning, "no descriptor left for new clients: they are turned away until one is free");
  } else {
    Report(CJournalStream::kWarning, "accepting new clients again; %zu were turned away", turnedAway);
  }
}

void CDiagnosticService::ErrorRaised(unsigned code, EProblemType type) { Notify(code, type, true); }

void CDiagnosticService::ErrorCleared(unsigned code, EProblemType type) { Notify(code, type, false); }

void CDiagnosticService::Notify(unsigned code, int type, bool raised) {
  BListC args;
  args.Add(static_cast<int>(code));
  args.Add(type);
  args.Add(raised ? 1 : 0);
  server_.SendCallback(kNotifyCallback, &args);
  ScheduleSync(kSyncDelay);
}

void CDiagnosticService::ScheduleSync(std::chrono::milliseconds delay) {
  if (!publisher_) return;
  const Clock::time_point at = Clock::now() + delay;
  if (!syncDue_ || at < syncAt_) syncAt_ = at;
  syncDue_ = true;
}

int CDiagnosticService::PollTimeout() const {
  const int output = out_.HasPending() || err_.HasPending() ? kOutputRetryMs : -1;
  int timeout = output;
  const auto earliest = [&](Clock::time_point at) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
    // Rounded up, so that the wait does not end just before the moment and spin.
    const int timer = left < 0 ? 0 : static_cast<int>(left) + 1;
    if (timeout < 0 || timer < timeout) timeout = timer;
  };
  if (publisher_) earliest(syncDue_ && syncAt_ < checkAt_ ? syncAt_ : checkAt_);
  if (notifier_.WatchdogOn()) earliest(notifier_.NextPing());
  return timeout;
}

bool CDiagnosticService::Sync() {
  syncDue_ = false;
  const bool checked = Check();
  // The publisher's states are the truth, whatever the segment's lock allows.
  if (stateFile_ && !stateFile_->Save(publisher_->States())) {
    if (!saveTrouble_)
      Report(CJournalStream::kError, "cannot save the error states: %s; trying again", stateFile_->ErrorText().c_str());
    saveTrouble_ = true;
    ScheduleSync(kSaveRetryDelay);
    return false;
  }
  if (stateFile_ && saveTrouble_)
    Report(CJournalStream::kInfo, "error states saved in %s again", stateFile_->Path().c_str());
  saveTrouble_ = false;
  return checked;
}

bool CDiagnosticService::Check() {
  const int repaired = publisher_->Verify();
  if (repaired > 0) {
    Report(CJournalStream::kWarning,
           "%d error states written into the shared segment again: their change was lost to the lock", repaired);
  } else if (repaired < 0 && !segmentTrouble_) {
    Report(CJournalStream::kWarning, "the shared segment cannot be read now; trying again");
  } else if (repaired == 0 && segmentTrouble_) {
    Report(CJournalStream::kInfo, "the shared segment can be read again");
  }
  segmentTrouble_ = repaired < 0;
  checkAt_ = Clock::now() + (repaired != 0 ? kRecheckDelay : kIdleCheckDelay);
  return repaired == 0;
}

bool CDiagnosticService::SyncAtExit() {
  if (!publisher_) return true;
  for (int attempt = 0; attempt < kExitSyncAttempts; ++attempt) {
    if (Sync()) return true;
  }
  if (saveTrouble_) {
    Report(CJournalStream::kError, "at the end, the error states could not be saved: %s",
           stateFile_->ErrorText().c_str());
    return false;
  }
  // The states are saved; the next owner writes the segment anew.
  Report(CJournalStream::kWarning, "at the end, the shared segment could not be brought up to date");
  return true;
}

void CDiagnosticService::Report(CJournalStream::Priority priority, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);  // cut short when longer
  va_end(args);
  err_.Add(std::string(journal_.Prefix(priority)) + "fwservice: " + text + "\n");
}

void CDiagnosticService::FlushOutput() {
  out_.Flush();
  if (size_t dropped = out_.TakeDropped()) {
    Report(CJournalStream::kWarning, "%zu lines of the standard output dropped: it did not take them", dropped);
  }
  if (size_t dropped = err_.TakeDropped()) {
    Report(CJournalStream::kWarning, "%zu lines of the error stream dropped: it did not take them", dropped);
  }
  err_.Flush();
}

void CDiagnosticService::FlushOutputAtEnd() {
  out_.FlushUntil(Clock::now() + kOutputDrainLimit);
  if (size_t lost = out_.Unwritten())
    Report(CJournalStream::kWarning, "%zu lines of the standard output dropped: it did not take them", lost);
  err_.FlushUntil(Clock::now() + kOutputDrainLimit);
}

}  // namespace Faultwright
