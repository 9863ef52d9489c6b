#include "listener/AenDaemon.h"
#include "listener/PlugInManager.h"
#include "listener/osal/FnLogger.h"

void AenQueueEvent(const _vynEvent& event)
{
    TovMutexLock(gAenConfig.QueueMutex);
    gAenConfig.EventQueue.push_back(event);
    TovMutexUnlock(gAenConfig.QueueMutex);
    TovSetEvent(gAenConfig.AenPushedToQEvent);
    TovSetEvent(gAenConfig.AenMonitorEvent);
}

void* processAenThread(void*)
{
    FnLogger logger("processAenThread", AEN_LOG_FILE);
    for (;;) {
        TovMutexLock(gAenConfig.QueueMutex);
        if (!gAenConfig.EventQueue.empty()) {
            logger.log("Q is not empty, so not waiting on AenPushedToQEvent");
        } else {
            // A wake-up can find the queue empty again: the producer counts
            // one set per record, and the loop drains without waiting.
            do {
                TovMutexUnlock(gAenConfig.QueueMutex);
                logger.log("Waiting on AenPushedToQEvent");
                TovWaitOnEvent(gAenConfig.AenPushedToQEvent);
                if (AenIsStopping()) {
                    logger.log("Process AEN Thread received terminate event!");
                    return nullptr;
                }
                TovMutexLock(gAenConfig.QueueMutex);
            } while (gAenConfig.EventQueue.empty());
        }
        _vynEvent event = gAenConfig.EventQueue.front();
        gAenConfig.EventQueue.pop_front();
        TovMutexUnlock(gAenConfig.QueueMutex);

        logger.log("Received event : %s , Time Stamp : %s : eventType : %u : eventCode : %u",
                   event.eventDesc.c_str(), event.eventTime.c_str(), event.eventType, event.eventCode);
        AenDaemonNotifyPlugIn(event);
    }
}

void AenStopProcessThread(FnLogger& logger, bool announceWakeUp)
{
    TovSetEvent(gAenConfig.TerminateEvent);
    logger.log("Shutting down the Daemon Now!!");
    if (announceWakeUp)
        logger.log("AenPushedToQEvent is SET");
    gAenConfig.StopRequested.store(true);
    if (TovSetEvent(gAenConfig.AenPushedToQEvent) != TOV_SUCCESS) {
        logger.log("Failed to terminate Process AEN thread");
        return;
    }
    logger.log("Aen Monitor Thread is waiting for Process AEN thread to End");
    TovWaitForThreadTerminate(gAenConfig.ProcessThread);
    logger.log("Process AEN thread terminated");
}
