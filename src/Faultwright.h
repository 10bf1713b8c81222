// Faultwright: the fault-reporting toolkit of the guidance controller.
// Including this header gives every public interface of the library.
#ifndef FAULTWRIGHT_H
#define FAULTWRIGHT_H

#include "Common/ActiveErrorsPrinter.h"
#include "Common/CErrorDatabaseView.h"
#include "Common/CErrorPattern.h"
#include "Common/CErrorPatterns.h"
#include "Common/CErrorState.h"
#include "Common/CErrorStateListener.h"
#include "Common/CErrorSummary.h"
#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"
#include "Common/ErrorDatabase/CTriggerSet.h"
#include "Common/ErrorSummaries.h"
#include "Common/StateCode.h"
#include "Common/StateCodeDecoder.h"
#include "Common/SummaryFields.h"
#include "Common/TextExport.h"
#include "Identifiers/CErrorKey.h"
#include "Identifiers/Identifiers.h"
#include "Inspect/CArguments.h"
#include "Inspect/CInspector.h"
#include "Inspect/CLiveDatabase.h"
#include "Inspect/CatalogueCommands.h"
#include "Inspect/CommandSupport.h"
#include "Inspect/ConfigurationCheck.h"
#include "Inspect/LiveCommands.h"
#include "Inspect/SummaryOutput.h"
#include "Platform/Core/Debug.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/IO/XMLNode.h"
#include "Platform/Core/MonotonicTime.h"
#include "Platform/Core/Time.h"
#include "Platform/Core/Utilities/SplitString.h"

#endif  // FAULTWRIGHT_H
