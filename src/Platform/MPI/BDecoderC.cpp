#include "Platform/MPI/BDecoderC.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "Platform/MPI/BElementC.h"

namespace {

bool IsDigit(char byte) { return byte >= '0' && byte <= '9'; }

}  // namespace

BDecoderC::BDecoderC() = default;

BDecoderC::~BDecoderC() = default;

void BDecoderC::Reset() {
  state_ = kValue;
  open_.clear();
  token_.clear();
  length_ = 0;
  lengthDigits_ = 0;
  messageBytes_ = 0;
  failed_ = false;
  done_.reset();
}

BDecoderC::Result BDecoderC::Decode(const char* bytes, size_t size, size_t* used,
                                    std::unique_ptr<BDictionaryC>* message) {
  size_t at = 0;
  while (at < size && !failed_ && !done_) {
    size_t taken = 1;
    bool valid;
    if (state_ == kString) {
      // A string's bytes are taken in one piece; they need no inspection.
      taken = std::min(size - at, length_ - token_.size());
      token_.append(bytes + at, taken);
      valid = token_.size() < length_ || CompleteString();
    } else {
      valid = Consume(bytes[at]);
    }
    at += taken;
    messageBytes_ += taken;
    if (!valid || messageBytes_ > kMaxMessageBytes) failed_ = true;
  }
  *used = at;
  if (failed_) {
    open_.clear();  // give the half-built message's memory back at once
    token_.clear();
    return kMalformed;
  }
  if (!done_) return kNeedMore;
  *message = std::move(done_);
  messageBytes_ = 0;
  return kMessage;
}

bool BDecoderC::Consume(char byte) {
  switch (state_) {
    case kInteger:
      return IntegerByte(byte);
    case kLength:
      return LengthByte(byte);
    default:
      return StartValue(byte);
  }
}

bool BDecoderC::StartValue(char byte) {
  if (open_.empty()) {
    if (byte != 'd') return false;
    auto* dictionary = new BDictionaryC;
    return Open(std::unique_ptr<BElementC>(dictionary), nullptr, dictionary);
  }
  const OpenContainer& top = open_.back();
  const bool wantsKey = top.dictionary != nullptr && !top.hasKey;
  if (byte == 'e') return (top.list != nullptr || wantsKey) && Close();
  if (IsDigit(byte)) {
    state_ = kLength;
    length_ = static_cast<size_t>(byte - '0');
    lengthDigits_ = 1;
    return true;
  }
  if (wantsKey) return false;
  if (byte == 'i') {
    state_ = kInteger;
    token_.clear();
    return true;
  }
  if (byte == 'l') {
    auto* list = new BListC;
    return Open(std::unique_ptr<BElementC>(list), list, nullptr);
  }
  if (byte == 'd') {
    auto* dictionary = new BDictionaryC;
    return Open(std::unique_ptr<BElementC>(dictionary), nullptr, dictionary);
  }
  return false;
}

bool BDecoderC::IntegerByte(char byte) {
  if (byte == 'e') return CompleteInteger();
  if (!IsDigit(byte) && !(byte == '-' && token_.empty())) return false;
  token_ += byte;
  return token_.size() <= 20;  // a sign and 19 digits hold every 64-bit value
}

bool BDecoderC::CompleteInteger() {
  state_ = kValue;
  const size_t firstDigit = (!token_.empty() && token_[0] == '-') ? 1 : 0;
  if (token_.size() == firstDigit) return false;
  if (token_[firstDigit] == '0' && (token_.size() > firstDigit + 1 || firstDigit == 1)) return false;
  errno = 0;
  long long value = std::strtoll(token_.c_str(), nullptr, 10);
  if (errno == ERANGE) return false;
  return Attach(std::make_unique<BIntegerC>(value));
}

bool BDecoderC::LengthByte(char byte) {
  if (byte == ':') {
    state_ = kString;
    token_.clear();
    return length_ > 0 || CompleteString();
  }
  if (!IsDigit(byte) || length_ == 0) return false;  // not a digit, or after a leading zero
  length_ = length_ * 10 + static_cast<size_t>(byte - '0');
  return ++lengthDigits_ <= 7 && length_ <= kMaxStringBytes;
}

bool BDecoderC::CompleteString() {
  state_ = kValue;
  OpenContainer& top = open_.back();  // strings only occur inside a container
  if (top.dictionary == nullptr || top.hasKey) return Attach(std::make_unique<BStringC>(std::move(token_)));
  // Every earlier key already holds its value, so an empty dictionary has seen none.
  if (top.dictionary->Size() > 0 && !(top.key < token_)) return false;
  top.key = std::move(token_);
  top.hasKey = true;
  return true;
}

bool BDecoderC::Open(std::unique_ptr<BElementC> element, BListC* list, BDictionaryC* dictionary) {
  if (open_.size() >= kMaxDepth) return false;
  OpenContainer container;
  container.element = std::move(element);
  container.list = list;
  container.dictionary = dictionary;
  open_.push_back(std::move(container));
  return true;
}

bool BDecoderC::Close() {
  std::unique_ptr<BElementC> element = std::move(open_.back().element);
  open_.pop_back();
  return Attach(std::move(element));
}

bool BDecoderC::Attach(std::unique_ptr<BElementC> element) {
  if (open_.empty()) {
    // Only a dictionary can be opened at the top (StartValue), so this is it.
    done_.reset(static_cast<BDictionaryC*>(element.release()));
    return true;
  }
  OpenContainer& top = open_.back();
  if (top.list != nullptr) {
    top.list->Add(element.release());
  } else {
    top.dictionary->Set(top.key, element.release());
    top.hasKey = false;
  }
  return true;
}
