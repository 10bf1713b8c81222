#include "Platform/MPI/BElementC.h"

BElementC::~BElementC() = default;
