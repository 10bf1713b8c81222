// Faultwright: the fault-reporting toolkit of the guidance controller.
// Including this header gives every public interface of the library.
#ifndef FAULTWRIGHT_H
#define FAULTWRIGHT_H

#include "Client/CFaultwrightAPI.h"
#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"
#include "Common/ErrorDatabase/CTriggerSet.h"
#include "Common/TextExport.h"
#include "Identifiers/CErrorKey.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/Debug.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/IO/XMLNode.h"
#include "Platform/Core/MonotonicTime.h"
#include "Platform/Core/Time.h"
#include "Platform/Core/Utilities/SplitString.h"
#include "Platform/MPI/BDecoderC.h"
#include "Platform/MPI/BDictionaryC.h"
#include "Platform/MPI/BElementC.h"
#include "Platform/MPI/BEncoderC.h"
#include "Platform/MPI/BIntegerC.h"
#include "Platform/MPI/BListC.h"
#include "Platform/MPI/BStringC.h"
#include "Platform/MPI/MPICallback.h"
#include "Platform/MPI/MPICallbackBase.h"
#include "Platform/MPI/MPIServerConnectionC.h"
#include "Platform/MPI/MPISocketClientC.h"
#include "Platform/MPI/MPISocketConnectionC.h"
#include "Platform/MPI/MPISocketServerC.h"
#include "Platform/MPI/Socket.h"
#include "Tool/CCommandLine.h"

#endif  // FAULTWRIGHT_H
