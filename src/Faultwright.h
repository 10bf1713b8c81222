// Faultwright: the fault-reporting toolkit of the guidance controller.
// Including this header gives every public interface of the library: the
// identifiers, the client, the error database and the platform layer.
#ifndef FAULTWRIGHT_H
#define FAULTWRIGHT_H

#include "Client/CFaultwrightAPI.h"
#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"
#include "Common/ErrorDatabase/CTriggerSet.h"
#include "Common/Patterns/CErrorPattern.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Common/Summaries/ActiveErrorsPrinter.h"
#include "Common/Summaries/CErrorSummary.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Common/Summaries/StateCode.h"
#include "Common/Summaries/StateCodeDecoder.h"
#include "Common/Summaries/SummaryFields.h"
#include "Common/TextExport/TextExport.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Common/View/CErrorState.h"
#include "Common/View/CErrorStateListener.h"
#include "Identifiers/CErrorKey.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/Debug.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/IO/XMLNode.h"
#include "Platform/Core/MonotonicTime.h"
#include "Platform/Core/Time.h"
#include "Platform/Core/Utilities/Quoted.h"
#include "Platform/Core/Utilities/SplitString.h"
#include "Platform/MPI/BDecoderC.h"
#include "Platform/MPI/BElementC.h"
#include "Platform/MPI/BEncoderC.h"
#include "Platform/MPI/MPICallback.h"
#include "Platform/MPI/MPICallbackBase.h"
#include "Platform/MPI/MPIServerConnectionC.h"
#include "Platform/MPI/MPISocketClientC.h"
#include "Platform/MPI/MPISocketConnectionC.h"
#include "Platform/MPI/MPISocketServerC.h"
#include "Platform/MPI/Socket.h"

#endif  // FAULTWRIGHT_H
