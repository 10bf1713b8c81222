// ErrorAttributes: the attributes of one catalogue Error element, read in a
// single pass over the element, with the catalogue's defaults and rules.
//
// The model-specific form of an attribute ("qd570:" and the name) wins
// wherever it is present, even empty. A flag is true exactly for "yes";
// numbers read as strtol does, clamped to 32 bits. The texts returned live as
// long as the element's document. Used by the catalogue loader only.
#ifndef FAULTWRIGHT_COMMON_ERRORDATABASE_ERRORATTRIBUTES_H
#define FAULTWRIGHT_COMMON_ERRORDATABASE_ERRORATTRIBUTES_H

#include "Platform/Core/IO/XMLNode.h"

namespace Faultwright {

class ErrorAttributes {
 public:
  explicit ErrorAttributes(const Core::IO::XMLNode& node);

  // The catalogue's reading of a flag and of a number, for options as well.
  static bool IsYes(const char* value);
  // strtol(value, NULL, 10), clamped to the signed 32-bit range.
  static int ReadNumber(const char* value);
  // Whether ReadNumber reads the whole of value: optional blanks and sign,
  // digits, nothing after them, within the signed 32-bit range.
  static bool IsNumber(const char* value);

  const char* Identifier() const { return Plain(kIdentifier, ""); }
  const char* Severity() const { return Model(kSeverity, ""); }
  int Timeout() const { return ReadNumber(Model(kTimeout, "0")); }
  bool Visible() const { return IsYes(Model(kVisible, "no")); }
  bool FullScreen() const { return IsYes(Model(kFullScreen, "no")); }
  bool ForceShutdown() const { return IsYes(Plain(kForceShutdown, "no")); }
  bool IncludeServiceNumber() const { return IsYes(Plain(kIncludeServiceNumber, "no")); }
  bool ShouldBeep() const { return IsYes(Plain(kShouldBeep, "no")); }
  bool ShouldBeepIfGuiding() const { return IsYes(Plain(kShouldBeepIfGuiding, "no")); }

 private:
  // Plain names first, most frequent first; each model-specific form directly
  // follows its plain name.
  enum Slot {
    kIdentifier,
    kSeverity,
    kModelSeverity,
    kVisible,
    kModelVisible,
    kTimeout,
    kModelTimeout,
    kFullScreen,
    kModelFullScreen,
    kShouldBeep,
    kShouldBeepIfGuiding,
    kIncludeServiceNumber,
    kForceShutdown,
    kCount
  };
  const char* Plain(Slot slot, const char* fallback) const {
    return values_[slot] != nullptr ? values_[slot] : fallback;
  }
  const char* Model(Slot plain, const char* fallback) const {
    return values_[plain + 1] != nullptr ? values_[plain + 1] : Plain(plain, fallback);
  }

  const char* values_[kCount] = {};
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORDATABASE_ERRORATTRIBUTES_H
