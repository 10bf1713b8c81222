// CJournalStream: whether a descriptor is the journal's stream, and the
// priority prefix that its lines then carry.
//
// The service manager connects a service's standard error to the journal and
// says so in $JOURNAL_STREAM as "DEVICE:INODE" of that stream. The variable is
// inherited by whatever the service starts, so it holds only where the
// descriptor's own device and inode match it (fstat); anywhere else (a
// terminal, a file, a pipe to another program) lines stay plain text. The
// journal takes "<N>" at a line's start as its priority and strips it.
#ifndef FAULTWRIGHT_SERVICE_CJOURNALSTREAM_H
#define FAULTWRIGHT_SERVICE_CJOURNALSTREAM_H

namespace Faultwright {

class CJournalStream {
 public:
  // The priorities of the service's own lines.
  enum Priority { kError = 3, kWarning = 4, kInfo = 6 };

  // Looks at $JOURNAL_STREAM and descriptor once; a failed fstat means plain text.
  explicit CJournalStream(int descriptor);

  bool IsJournal() const { return journal_; }
  // "<3>", "<4>" or "<6>" on the journal; "" elsewhere.
  const char* Prefix(Priority priority) const;

 private:
  bool journal_ = false;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CJOURNALSTREAM_H
