#include "Platform/MPI/BListC.h"

#include "Platform/MPI/BEncoderC.h"
#include "Platform/MPI/BIntegerC.h"

BListC::BListC(BElementC* first) {
  if (first != nullptr) Add(first);
}

void BListC::Add(int value) { elements_.emplace_back(new BIntegerC(value)); }

void BListC::Add(BElementC* element) { elements_.emplace_back(element); }

const BElementC* BListC::At(size_t index) const {
  return index < elements_.size() ? elements_[index].get() : nullptr;
}

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
