#include "Platform/MPI/BDictionaryC.h"

#include "Platform/MPI/BEncoderC.h"
#include "Platform/MPI/BListC.h"
#include "Platform/MPI/BStringC.h"

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
