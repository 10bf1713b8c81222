#include "Platform/MPI/BElementC.h"

#include "Platform/MPI/BEncoderC.h"

BElementC::~BElementC() = default;

void BIntegerC::Encode(BEncoderC& encoder) const { encoder.AddInteger(value_); }

void BStringC::Encode(BEncoderC& encoder) const { encoder.AddString(bytes_); }

BListC::BListC(BElementC* first) {
  if (first != nullptr) Add(first);
}

void BListC::Add(int value) { elements_.emplace_back(new BIntegerC(value)); }

void BListC::Add(BElementC* element) { elements_.emplace_back(element); }

const BElementC* BListC::At(size_t index) const { return index < elements_.size() ? elements_[index].get() : nullptr; }

bool BListC::IntegerAt(size_t index, int64_t* value) const {
  const auto* integer = dynamic_cast<const BIntegerC*>(At(index));
  if (integer == nullptr) return false;
  *value = integer->Value();
  return true;
}

void BListC::Encode(BEncoderC& encoder) const {
  encoder.BeginList();
  for (const auto& element : elements_) element->Encode(encoder);
  encoder.End();
}

void BDictionaryC::Set(const std::string& key, BElementC* value) { values_[key].reset(value); }

void BDictionaryC::SetString(const std::string& key, const std::string& value) { Set(key, new BStringC(value)); }

const BElementC* BDictionaryC::Get(const std::string& key) const {
  auto found = values_.find(key);
  return found != values_.end() ? found->second.get() : nullptr;
}

std::string BDictionaryC::StringAt(const std::string& key) const {
  const auto* string = dynamic_cast<const BStringC*>(Get(key));
  return string != nullptr ? string->Bytes() : std::string();
}

BListC* BDictionaryC::ListAt(const std::string& key) const {
  auto found = values_.find(key);
  return found != values_.end() ? dynamic_cast<BListC*>(found->second.get()) : nullptr;
}

void BDictionaryC::Encode(BEncoderC& encoder) const {
  encoder.BeginDictionary();
  for (const auto& [key, value] : values_) {
    encoder.AddString(key);
    value->Encode(encoder);
  }
  encoder.End();
}
