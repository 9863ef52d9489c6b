#ifndef VYN_COMMAND_VYN_COMMON_FA_OPEN_H
#define VYN_COMMAND_VYN_COMMON_FA_OPEN_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>
#include <cwchar>

class FSAAPI_CONTEXT;

// The library's own revision: external revision and build.
constexpr uint32_t FSA_LIBRARY_EXTERNAL_REV = 0x05020400;
constexpr uint32_t FSA_LIBRARY_BUILD = 18757;

// Statuses of the open and of the pause exports.
enum : FSA_STATUS {
    FSA_STS_REMOTE_ADAPTER = 6,
    FSA_STS_INVALID_BUS = 36,
    FSA_STS_CALLER_INCOMPATIBLE = 82,
    FSA_STS_FIRMWARE_INCOMPATIBLE = 85,
    FSA_STS_ADAPTER_MISMATCH = 88,
    FSA_STS_NO_HANDLE = 73,
    FSA_STS_TWO_DOMAINS = 234,
    FSA_STS_OPEN_PAUSED = 301,
    FSA_STS_NOT_PAUSED = 299,
};

// Password callbacks of a remote open; a local open never calls them.
typedef int (*FSA_PASSWD_CALLBACK_W)(void* context, wchar_t* user, wchar_t* password);
typedef int (*FSA_PASSWD_CALLBACK_A)(void* context, char* user, char* password);

// 1 when a component of build `build` may work with this library's component
// `a` seen from `b`.
int RevCheckCompatibility(uint32_t a, uint32_t b, uint32_t build);
uint32_t RevGetBuildNumber();

extern "C" {
FSA_STATUS FsaOpenAdapter2W(const wchar_t* adapterName, const wchar_t* domainName, unsigned int callerBuild,
                            FSA_ACCESS access, int flag, FSA_PASSWD_CALLBACK_W callback, void* callbackContext,
                            void** handleOut, int* auxOut);
FSA_STATUS FsaOpenAdapter2A(const char* adapterName, const char* domainName, unsigned int callerBuild,
                            FSA_ACCESS access, int flag, FSA_PASSWD_CALLBACK_A callback, void* callbackContext,
                            void** handleOut, int* auxOut);
FSA_STATUS FsaOpenAdapterW(const wchar_t* adapterName, const wchar_t* domainName, unsigned int callerBuild,
                           FSA_ACCESS access, void** handleOut, int* auxOut);
FSA_STATUS FsaOpenAdapterA(const char* adapterName, const char* domainName, unsigned int callerBuild,
                           FSA_ACCESS access, void** handleOut, int* auxOut);
FSA_STATUS FsaCloseAdapter(void* handle);

FSA_STATUS FsaGetIndexFromSerial(void* handle, uint32_t serial, uint32_t* indexOut);

FSA_STATUS FsaGetConnectorMapSize(void* handle, unsigned int* size);
FSA_STATUS FsaGetConnectorMap(void* handle, void* buffer);
FSA_STATUS FsaPauseResumeIo(void* handle, int timeoutSeconds, int noRescan);
FSA_STATUS FsaPauseResumeIoStatus(void* handle, unsigned int* state);
FSA_STATUS FsaResetScsiBus(void* handle, unsigned int bus);
FSA_STATUS FsaPauseResumeIoStatusEx(void* handle, uint32_t index, unsigned int* state);
FSA_STATUS FsaResetScsiBusEx(void* handle, uint32_t index, unsigned int bus);
FSA_STATUS FsaGetDriveLetterUsage(void* handle);
FSA_STATUS FsaGetDriveLetterUsageEx(void* handle, uint32_t index);
FSA_STATUS FsaNTLinkForContainer(void* handle, uint32_t operation);
// FsaNTLinkForContainer on the adapter of `serial` among the handle's
// adapters; 3 when none has it.
FSA_STATUS FsaLinkForContainerExInternal(void* handle, uint32_t serial, uint32_t operation);
int FsaIsRunningAsServer();
// Asks the OS layer to grant `thread` the ownership of its threads; on a grant
// (1) the process is no longer the owner of the library's threads. The OS
// layer's answer.
FSA_STATUS FsaInitCreateThread(int thread);
}

// Set once FsaInitCreateThread handed the thread ownership away.
int FsaIsNotThreadOwner();

// The simulated drive letters A to Z of hosts with drive letters: -2
// reserved (A, B, C), -1 free (F to Z), else the container that holds the
// letter (D container 0, E container 1).
extern int FSAAPI_SIM_DRIVE_LETTER[26];

// The context forms; the handle forms of the same names belong to the
// exported operations.
int FsaContextIsAdapterPaused(FSAAPI_CONTEXT* ctx);
FSA_STATUS FsaContextGetAdapterOemId(FSAAPI_CONTEXT* ctx, unsigned int* oemId);
// Deletes the blink manager and closes the driver channel.
void FsaCloseLocalAdapter(FSAAPI_CONTEXT* ctx);
// The bring-up of a freshly opened context.
FSA_STATUS FsaInternalCommonContextInit(FSAAPI_CONTEXT* ctx, unsigned int callerBuild);
// Pause (timeout not 0) or resume of the controller's I/O.
FSA_STATUS internalPauseResumeIo(void* handle, int timeoutSeconds, int noRescan);
// Reports an event to the context's general callback.
void FsaGeneralCallbackShell(FSAAPI_CONTEXT* ctx, uint32_t event, const void* details);
// Tells every client of the controller's events that the file system of
// `container` changed (class 128, the container's identifier at details byte
// 0); the sender's failure is thrown.
void AIF_FileSystemChange(FSAAPI_CONTEXT* ctx, unsigned int container);

#endif
