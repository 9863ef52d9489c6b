#include "cli/FunctionResolver.h"

#include "cli/Engine.h"
#include "cli/commands/AtaPassword.h"
#include "cli/commands/Backup.h"
#include "cli/commands/ClearNvsRam.h"
#include "cli/commands/Copyback.h"
#include "cli/commands/Create.h"
#include "cli/commands/DataScrub.h"
#include "cli/commands/Delete.h"
#include "cli/commands/FailOver.h"
#include "cli/commands/GetConfig.h"
#include "cli/commands/GetLogs.h"
#include "cli/commands/GetSmartStats.h"
#include "cli/commands/GetStatus.h"
#include "cli/commands/GetVersions.h"
#include "cli/commands/GetXML.h"
#include "cli/commands/Identify.h"
#include "cli/commands/ImageUpdate.h"
#include "cli/commands/Modify.h"
#include "cli/commands/OrvexaWrite.h"
#include "cli/commands/Passthrough.h"
#include "cli/commands/Rescan.h"
#include "cli/commands/Reset.h"
#include "cli/commands/ResetStatisticsCounters.h"
#include "cli/commands/Restore.h"
#include "cli/commands/RomUpdate.h"
#include "cli/commands/SaveSupportArchive.h"
#include "cli/commands/SetAlarm.h"
#include "cli/commands/SetCache.h"
#include "cli/commands/SetConfig.h"
#include "cli/commands/SetNCQ.h"
#include "cli/commands/SetName.h"
#include "cli/commands/SetOrvexa.h"
#include "cli/commands/SetPerform.h"
#include "cli/commands/SetPower.h"
#include "cli/commands/SetPriority.h"
#include "cli/commands/SetState.h"
#include "cli/commands/SetStatisticDataCollection.h"
#include "cli/commands/SetVMCredential.h"
#include "cli/commands/Task.h"

// The order is the order of the command list.
void loadFunctions()
{
    delete fnResolver;
    fnResolver = new FunctionResolver(argc2, argv2);
    if (fnResolver == nullptr)
        return;
    fnResolver->addFunction(new AtaPassword);
    fnResolver->addFunction(new Backup);
    fnResolver->addFunction(new Copyback);
    fnResolver->addFunction(new ClearNvsRam);
    fnResolver->addFunction(new Create);
    fnResolver->addFunction(new DataScrub);
    fnResolver->addFunction(new Delete);
    fnResolver->addFunction(new FailOver);
    fnResolver->addFunction(new GetConfig);
    fnResolver->addFunction(new GetLogs);
    fnResolver->addFunction(new GetSmartStats);
    fnResolver->addFunction(new GetStatus);
    fnResolver->addFunction(new GetVersions);
    fnResolver->addFunction(new GetXML);
    fnResolver->addFunction(new Identify);
    fnResolver->addFunction(new ImageUpdate);
    fnResolver->addFunction(new Modify);
    fnResolver->addFunction(new Passthrough);
    fnResolver->addFunction(new Rescan);
    fnResolver->addFunction(new Reset);
    fnResolver->addFunction(new ResetStatisticsCounters);
    fnResolver->addFunction(new Restore);
    fnResolver->addFunction(new RomUpdate);
    fnResolver->addFunction(new SaveSupportArchive);
    fnResolver->addFunction(new SetAlarm);
    fnResolver->addFunction(new SetCache);
    fnResolver->addFunction(new SetConfig);
    fnResolver->addFunction(new SetOrvexa);
    fnResolver->addFunction(new SetName);
    fnResolver->addFunction(new SetNCQ);
    fnResolver->addFunction(new SetPerform);
    fnResolver->addFunction(new SetPower);
    fnResolver->addFunction(new SetPriority);
    fnResolver->addFunction(new SetState);
    fnResolver->addFunction(new SetStatisticDataCollection);
    fnResolver->addFunction(new OrvexaWrite);
    fnResolver->addFunction(new SetVMCredential);
    fnResolver->addFunction(new Task);
}
