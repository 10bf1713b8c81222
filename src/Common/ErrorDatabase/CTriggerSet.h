// CTriggerSet: one set of errors that can raise an error of the catalogue.
//
// The set lists its trigger errors in catalogue order (one error may stand
// more than once) and says how many of them must be active for the set to be
// satisfied, whether it raises and clears its error automatically, and how
// the error is presented together with its triggers. The set does not own the
// errors it points to; they are records of the same catalogue. Copies point to
// the same records.
#ifndef FAULTWRIGHT_COMMON_ERRORDATABASE_CTRIGGERSET_H
#define FAULTWRIGHT_COMMON_ERRORDATABASE_CTRIGGERSET_H

#include <algorithm>
#include <vector>

namespace Faultwright {

class CError;

// How an error is presented together with its triggers. Consumers compare
// with the numbers.
enum EErrorLinking {
  eelDeep = 0,       // the catalogue's default
  eelVerbose = 1,    // option value "verbose"
  eelShallow = 2,    // "shallow"
  eelChildOnly = 3,  // "childOnly"
};

// Where such a presentation takes its title from.
enum ETitleSource {
  etsParent = 0,   // the error itself; the catalogue's default
  etsTrigger = 1,  // option value "trigger"
};

class CTriggerSet {
 public:
  CTriggerSet(bool autoTrigger, int triggersNeeded, EErrorLinking errorLinking, ETitleSource titleSource)
      : autoTrigger_(autoTrigger),
        triggersNeeded_(triggersNeeded),
        errorLinking_(errorLinking),
        titleSource_(titleSource) {}

  bool AutoTrigger() const { return autoTrigger_; }
  void SetAutoTrigger(bool autoTrigger) { autoTrigger_ = autoTrigger; }
  int TriggersNeeded() const { return triggersNeeded_; }
  void SetTriggersNeeded(int triggersNeeded) { triggersNeeded_ = triggersNeeded; }
  EErrorLinking ErrorLinking() const { return errorLinking_; }
  void SetErrorLinking(EErrorLinking errorLinking) { errorLinking_ = errorLinking; }
  ETitleSource TitleSource() const { return titleSource_; }
  void SetTitleSource(ETitleSource titleSource) { titleSource_ = titleSource; }

  // fullScreen carries a value only when HasFullScreen(): the set's option appeared.
  bool FullScreen() const { return fullScreen_; }
  bool HasFullScreen() const { return fullScreenSet_; }
  void SetFullScreen(bool fullScreen) {
    fullScreen_ = fullScreen;
    fullScreenSet_ = true;
  }

  const std::vector<CError*>& Triggers() const { return triggers_; }
  void AddTrigger(CError* trigger) { triggers_.push_back(trigger); }
  bool Contains(const CError* error) const {
    return std::find(triggers_.begin(), triggers_.end(), error) != triggers_.end();
  }

  // Counting error as active: true when error stands in the set and at least
  // TriggersNeeded() entries are active. False when error is not in the set.
  bool IsSatisfiedWith(const CError* error) const;
  // Counting error as inactive: true when error stands in the set and fewer
  // than TriggersNeeded() of the other entries are active. False when error is
  // not in the set.
  bool IsUnsatisfiedWithout(const CError* error) const;

 private:
  bool autoTrigger_;
  int triggersNeeded_;
  EErrorLinking errorLinking_;
  ETitleSource titleSource_;
  std::vector<CError*> triggers_;
  bool fullScreen_ = false;
  bool fullScreenSet_ = false;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORDATABASE_CTRIGGERSET_H
