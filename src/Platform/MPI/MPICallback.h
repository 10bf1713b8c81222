// MPICallback<T>: a callback that calls a member function of one object.
//
// The object must outlive the callback; the callback does not own it.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPICALLBACK_H
#define FAULTWRIGHT_PLATFORM_MPI_MPICALLBACK_H

#include <string>

#include "Platform/MPI/MPICallbackBase.h"

template <typename T>
class MPICallback : public MPICallbackBase {
 public:
  using Method = int (T::*)(const std::string& name, BListC* args);

  MPICallback(T* object, Method method) : object_(object), method_(method) {}

  int Call(const std::string& name, BListC* args) override { return (object_->*method_)(name, args); }

 private:
  T* object_;
  Method method_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPICALLBACK_H
