#include "ScriptedFsaExports.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"

#include <algorithm>
#include <cstring>

#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/os/faux_char.h"

namespace vyntest {

ScriptedFsaExports::ScriptedFsaExports() : installed_(*this) {}

ScriptedFsaExports::~ScriptedFsaExports() = default;

void ScriptedFsaExports::script(const std::string& name, FSA_STATUS status, std::vector<uint8_t> reply)
{
    answers_[name].push_back(Answer{status, std::move(reply)});
}

void ScriptedFsaExports::scriptTimes(const std::string& name, unsigned times, FSA_STATUS status,
                                     std::vector<uint8_t> reply)
{
    for (unsigned i = 0; i < times; ++i)
        script(name, status, reply);
}

void ScriptedFsaExports::scriptAlways(const std::string& name, FSA_STATUS status, std::vector<uint8_t> reply)
{
    always_[name] = Answer{status, std::move(reply)};
}

unsigned ScriptedFsaExports::count(const std::string& name) const
{
    return static_cast<unsigned>(std::count(calls_.begin(), calls_.end(), name));
}

bool ScriptedFsaExports::play(const char* name, void* out, size_t room, FSA_STATUS* status)
{
    calls_.emplace_back(name);
    auto it = answers_.find(name);
    const auto always = always_.find(name);
    const bool queued = it != answers_.end() && !it->second.empty();
    if (queued || always != always_.end()) {
        const Answer answer = queued ? it->second.front() : always->second;
        if (queued)
            it->second.pop_front();
        lastReply_ = answer.reply;
        if (out != nullptr && !answer.reply.empty())
            std::memcpy(out, answer.reply.data(), std::min(room, answer.reply.size()));
        *status = answer.status;
        return true;
    }
    if (fallback_ != 0) {
        *status = fallback_;
        return true;
    }
    return false;
}

FSA_STATUS ScriptedFsaExports::FsaOpenAdapter2A(const char* adapterName, const char* domainName,
                                                unsigned int callerBuild, FSA_ACCESS access, int flag,
                                                FSA_PASSWD_CALLBACK_A callback, void* callbackContext,
                                                void** handleOut, int* auxOut)
{
    FSA_STATUS s;
    uint64_t handle = 0;
    if (play("FsaOpenAdapter2A", &handle, sizeof handle, &s)) {
        if (handleOut != nullptr)
            *handleOut = reinterpret_cast<void*>(static_cast<uintptr_t>(handle));
        return s;
    }
    return FsaExports::FsaOpenAdapter2A(adapterName, domainName, callerBuild, access, flag, callback,
                                        callbackContext, handleOut, auxOut);
}

FSA_STATUS ScriptedFsaExports::FsaCloseAdapter(void* handle)
{
    FSA_STATUS s;
    return play("FsaCloseAdapter", nullptr, 0, &s) ? s : FsaExports::FsaCloseAdapter(handle);
}

FSA_STATUS ScriptedFsaExports::FsaEnumAdaptersA(const char* server1, const char* server2, void* context,
                                                FSA_ENUM_ADAPTERS_CALLBACK callback)
{
    FSA_STATUS s;
    lastReply_.clear();
    if (!play("FsaEnumAdaptersA", nullptr, 0, &s))
        return FsaExports::FsaEnumAdaptersA(server1, server2, context, callback);
    const std::vector<uint8_t> reply = lastReply_;
    for (size_t at = 0; callback != nullptr && at + sizeof(_tagFSA_ADAPTER_ENUM_INFO) <= reply.size();
         at += sizeof(_tagFSA_ADAPTER_ENUM_INFO)) {
        _tagFSA_ADAPTER_ENUM_INFO record;
        std::memcpy(&record, reply.data() + at, sizeof record);
        callback(FSA_STS_SUCCESS, &record, context);
    }
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaDisableDebugLogs()
{
    FSA_STATUS s;
    return play("FsaDisableDebugLogs", nullptr, 0, &s) ? s : FsaExports::FsaDisableDebugLogs();
}

FSA_STATUS ScriptedFsaExports::FsaGetGeneralInformation2Ex(void* handle, uint32_t index, FSA_GENERAL_INFO2* out)
{
    FSA_STATUS s;
    return play("FsaGetGeneralInformation2Ex", out, sizeof *out, &s)
               ? s
               : FsaExports::FsaGetGeneralInformation2Ex(handle, index, out);
}

FSA_STATUS ScriptedFsaExports::FsaGetCopyback(void* handle, uint32_t* state)
{
    FSA_STATUS s;
    return play("FsaGetCopyback", state, sizeof *state, &s) ? s : FsaExports::FsaGetCopyback(handle, state);
}

FSA_STATUS ScriptedFsaExports::FsaVerifyContainerGetInfo(void* handle, uint32_t state[3])
{
    FSA_STATUS s;
    return play("FsaVerifyContainerGetInfo", state, 3 * sizeof(uint32_t), &s)
               ? s
               : FsaExports::FsaVerifyContainerGetInfo(handle, state);
}

FSA_STATUS ScriptedFsaExports::FsaVerifyContainerGetInfo2(void* handle, uint32_t state[3], FSA_VERIFY_REQUEST* out)
{
    FSA_STATUS s;
    return play("FsaVerifyContainerGetInfo2", out, sizeof *out, &s)
               ? s
               : FsaExports::FsaVerifyContainerGetInfo2(handle, state, out);
}

FSA_STATUS ScriptedFsaExports::FsaGetPCIIds(void* handle, uint16_t ids[4])
{
    FSA_STATUS s;
    return play("FsaGetPCIIds", ids, 4 * sizeof(uint16_t), &s) ? s : FsaExports::FsaGetPCIIds(handle, ids);
}

FSA_STATUS ScriptedFsaExports::FsaGetContainerOptions(void* handle, FSA_CONTAINER_OPTIONS* options)
{
    FSA_STATUS s;
    return play("FsaGetContainerOptions", options, sizeof *options, &s)
               ? s
               : FsaExports::FsaGetContainerOptions(handle, options);
}

FSA_STATUS ScriptedFsaExports::FsaGetAutomaticFailover(void* handle, uint32_t* flags)
{
    FSA_STATUS s;
    return play("FsaGetAutomaticFailover", flags, sizeof *flags, &s) ? s
                                                                       : FsaExports::FsaGetAutomaticFailover(handle, flags);
}

FSA_STATUS ScriptedFsaExports::FsaGetRaid6Options(void* handle, FSA_RAID6_OPTIONS* options)
{
    FSA_STATUS s;
    return play("FsaGetRaid6Options", options, sizeof *options, &s) ? s
                                                                      : FsaExports::FsaGetRaid6Options(handle, options);
}

FSA_STATUS ScriptedFsaExports::FsaStartGetConfig(void* handle)
{
    FSA_STATUS s;
    return play("FsaStartGetConfig", nullptr, 0, &s) ? s : FsaExports::FsaStartGetConfig(handle);
}

FSA_STATUS ScriptedFsaExports::FsaEnumChannels(void* handle, void* context, FSA_ENUM_CHANNELS_CALLBACK callback)
{
    FSA_STATUS s;
    return play("FsaEnumChannels", nullptr, 0, &s) ? s : FsaExports::FsaEnumChannels(handle, context, callback);
}

FSA_STATUS ScriptedFsaExports::FsaGetAdapterSasPhyInfo(void* handle, uint32_t phyIndex, _FSA_SAS_PHY_ENTITY* phy)
{
    FSA_STATUS s;
    return play("FsaGetAdapterSasPhyInfo", phy, sizeof *phy, &s)
               ? s
               : FsaExports::FsaGetAdapterSasPhyInfo(handle, phyIndex, phy);
}

FSA_STATUS ScriptedFsaExports::FsaAlarm(void* handle, uint32_t operation, uint32_t* array)
{
    std::vector<uint64_t> kept{operation};
    for (int w = 0; w < 3; ++w)
        kept.push_back(array != nullptr ? array[w] : 0u);
    keep("FsaAlarm", std::move(kept));
    FSA_STATUS s;
    return play("FsaAlarm", array, 3 * sizeof(uint32_t), &s) ? s : FsaExports::FsaAlarm(handle, operation, array);
}

FSA_STATUS ScriptedFsaExports::FsaBattery(void* handle, uint32_t version, void* record)
{
    FSA_STATUS s;
    return play("FsaBattery", record, 60, &s) ? s : FsaExports::FsaBattery(handle, version, record);
}

FSA_STATUS ScriptedFsaExports::FsaGetConnectorMapSize(void* handle, unsigned int* size)
{
    FSA_STATUS s;
    return play("FsaGetConnectorMapSize", size, sizeof *size, &s) ? s
                                                                    : FsaExports::FsaGetConnectorMapSize(handle, size);
}

FSA_STATUS ScriptedFsaExports::FsaGetConnectorMap(void* handle, void* buffer)
{
    FSA_STATUS s;
    // The caller sized the buffer from the scripted size; copy what was scripted.
    auto it = answers_.find("FsaGetConnectorMap");
    const size_t room = it != answers_.end() && !it->second.empty() ? it->second.front().reply.size() : 0;
    return play("FsaGetConnectorMap", buffer, room, &s) ? s : FsaExports::FsaGetConnectorMap(handle, buffer);
}

FSA_STATUS ScriptedFsaExports::FsaEnclosureMgt(void* handle, FSA_ENCLOSURE_MGT* record)
{
    FSA_STATUS s;
    if (record != nullptr) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(record);
        sent_.push_back({"FsaEnclosureMgt", Sent{handle, std::vector<uint8_t>(bytes, bytes + sizeof *record)}});
    }
    return play("FsaEnclosureMgt", record, sizeof *record, &s) ? s : FsaExports::FsaEnclosureMgt(handle, record);
}

FSA_STATUS ScriptedFsaExports::FsaGetStorageDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                       FSA_STORAGE_DEVICE_INFO* info)
{
    FSA_STATUS s;
    return play("FsaGetStorageDeviceInfo", info, sizeof *info, &s)
               ? s
               : FsaExports::FsaGetStorageDeviceInfo(handle, next, device, info);
}

FSA_STATUS ScriptedFsaExports::FsaGetSmartDeviceInfo(void* handle, int next, const FSA_STORAGE_DEVICE* device,
                                                     FSA_SMART_DATA* smart)
{
    FSA_STATUS s;
    return play("FsaGetSmartDeviceInfo", smart, sizeof *smart, &s)
               ? s
               : FsaExports::FsaGetSmartDeviceInfo(handle, next, device, smart);
}

FSA_STATUS ScriptedFsaExports::FsaGetDiskSasPhyInfo(void* handle, const FSA_STORAGE_DEVICE* device, void* first,
                                                    void* second)
{
    FSA_STATUS s;
    uint8_t both[2 * sizeof(_FSA_SAS_DISK_PHY_INFO)] = {};
    if (!play("FsaGetDiskSasPhyInfo", both, sizeof both, &s))
        return FsaExports::FsaGetDiskSasPhyInfo(handle, device, first, second);
    if (first != nullptr)
        std::memcpy(first, both, sizeof(_FSA_SAS_DISK_PHY_INFO));
    if (second != nullptr)
        std::memcpy(second, both + sizeof(_FSA_SAS_DISK_PHY_INFO), sizeof(_FSA_SAS_DISK_PHY_INFO));
    return s;
}

std::vector<std::vector<uint64_t>> ScriptedFsaExports::arguments(const std::string& name) const
{
    auto it = arguments_.find(name);
    return it != arguments_.end() ? it->second : std::vector<std::vector<uint64_t>>{};
}

void ScriptedFsaExports::keep(const char* name, std::vector<uint64_t> values)
{
    arguments_[name].push_back(std::move(values));
}

void ScriptedFsaExports::keepSpaces(const char* name, const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t count)
{
    lastSpaces_.clear();
    if (spaces != nullptr)
        lastSpaces_.assign(spaces, spaces + count);
    lastName_ = name != nullptr ? std::string(name, strnlen(name, 16)) : std::string();
}

FSA_STATUS ScriptedFsaExports::FsaCreateSecondaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                           const char* name, uint32_t n,
                                                           const tag_FSA_CONTAINER* sources, uint32_t chunkSize,
                                                           int noBuild)
{
    std::vector<uint64_t> kept = {type, n, chunkSize, static_cast<uint64_t>(noBuild)};
    for (uint32_t i = 0; sources != nullptr && i < n; ++i)
        kept.push_back(sources[i].number);
    FSA_STATUS s;
    return playCreation("FsaCreateSecondaryContainer", std::move(kept), name, nullptr, 0, out, &s)
               ? s
               : FsaExports::FsaCreateSecondaryContainer(handle, out, type, name, n, sources, chunkSize, noBuild);
}

FSA_STATUS ScriptedFsaExports::FsaCreateLogicalDrive(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                     const char* name, uint32_t legs, uint32_t count,
                                                     const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkBytes,
                                                     const uint32_t* options, uint32_t init, uint32_t priority,
                                                     uint32_t extra)
{
    std::vector<uint64_t> kept = {type, legs, count, chunkBytes};
    for (int i = 0; i < 4; ++i)
        kept.push_back(options != nullptr ? options[i] : 0);
    kept.insert(kept.end(), {init, priority, extra});
    FSA_STATUS s;
    return playCreation("FsaCreateLogicalDrive", std::move(kept), name, spaces, count, out, &s)
               ? s
               : FsaExports::FsaCreateLogicalDrive(handle, out, type, name, legs, count, spaces, chunkBytes, options,
                                                   init, priority, extra);
}

namespace {

// The kept arguments of a call with cache parameters: `leading`, the two
// cache words, the no-build flag.
std::vector<uint64_t> withCache(std::vector<uint64_t> leading, const tag_FSA_CONTAINER_PARAMS* params, int noBuild)
{
    leading.push_back(params != nullptr ? params->readCache : 0u);
    leading.push_back(params != nullptr ? params->writeCache : 0u);
    leading.push_back(static_cast<uint64_t>(noBuild));
    return leading;
}

}  // namespace

bool ScriptedFsaExports::playCreation(const char* call, std::vector<uint64_t> kept, const char* name,
                                      const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t count, tag_FSA_CONTAINER* out,
                                      FSA_STATUS* status)
{
    keep(call, std::move(kept));
    keepSpaces(name, spaces, count);
    return play(call, out, sizeof *out, status);
}

FSA_STATUS ScriptedFsaExports::FsaCreateRAID50(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                               uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                               uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams,
                                               int noBuild)
{
    FSA_STATUS s;
    return playCreation("FsaCreateRAID50", withCache({type, legs, count, chunkSize}, cacheParams, noBuild), name,
                        spaces, count, out, &s)
               ? s
               : FsaExports::FsaCreateRAID50(handle, out, type, name, legs, count, spaces, chunkSize, cacheParams,
                                             noBuild);
}

FSA_STATUS ScriptedFsaExports::FsaCreateRAID60(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                               uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                               uint32_t chunkSize, const tag_FSA_CONTAINER_PARAMS* cacheParams,
                                               int noBuild)
{
    FSA_STATUS s;
    return playCreation("FsaCreateRAID60", withCache({type, legs, count, chunkSize}, cacheParams, noBuild), name,
                        spaces, count, out, &s)
               ? s
               : FsaExports::FsaCreateRAID60(handle, out, type, name, legs, count, spaces, chunkSize, cacheParams,
                                             noBuild);
}

FSA_STATUS ScriptedFsaExports::FsaCreatePrimaryContainer(void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                                                         const char* name, uint32_t count,
                                                         const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t chunkSize,
                                                         const tag_FSA_CONTAINER_PARAMS* cacheParams, int noBuild)
{
    FSA_STATUS s;
    return playCreation("FsaCreatePrimaryContainer", withCache({type, count, chunkSize}, cacheParams, noBuild), name,
                        spaces, count, out, &s)
               ? s
               : FsaExports::FsaCreatePrimaryContainer(handle, out, type, name, count, spaces, chunkSize, cacheParams,
                                                       noBuild);
}

FSA_STATUS ScriptedFsaExports::FsaInitStorageDeviceForFsa(void* handle, uint32_t force, const FSA_STORAGE_DEVICE* drive,
                                                          uint32_t waitForTasks)
{
    keep("FsaInitStorageDeviceForFsa",
         {force, drive != nullptr ? drive->busNumber : 0u, drive != nullptr ? drive->targetId : 0u,
          drive != nullptr ? drive->lun : 0u, waitForTasks});
    FSA_STATUS s;
    return play("FsaInitStorageDeviceForFsa", nullptr, 0, &s)
               ? s
               : FsaExports::FsaInitStorageDeviceForFsa(handle, force, drive, waitForTasks);
}

FSA_STATUS ScriptedFsaExports::FsaContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                            void* parameter)
{
    uint64_t delay = 0;
    if (operation == 4 && parameter != nullptr)
        delay = *static_cast<const unsigned long*>(parameter);
    keep("FsaContainer", {container != nullptr ? container->number : 0u, operation, delay});
    FSA_STATUS s;
    return play("FsaContainer", nullptr, 0, &s) ? s : FsaExports::FsaContainer(handle, container, operation, parameter);
}

namespace {

// Splits a scripted reply into a u32 count and the records after it.
uint32_t countOf(const std::vector<uint8_t>& reply)
{
    uint32_t n = 0;
    for (size_t b = 0; b < 4 && b < reply.size(); ++b)
        n |= static_cast<uint32_t>(reply[b]) << (8 * b);
    return n;
}

void copyRecords(const std::vector<uint8_t>& reply, void* out, size_t room)
{
    if (out != nullptr && reply.size() > 4)
        std::memcpy(out, reply.data() + 4, std::min(room, reply.size() - 4));
}

}  // namespace

FSA_STATUS ScriptedFsaExports::FsaFailoverSpace(void* handle, const tag_FSA_CONTAINER* container, uint32_t operation,
                                                uint32_t* count, FSA_STORAGE_DEVICE* drives)
{
    FSA_STATUS s;
    containersAsked_.push_back(container != nullptr ? container->number : 0xFFFFFFFFu);
    const bool oneDrive = drives != nullptr && count != nullptr && *count != 0;
    keep("FsaFailoverSpace", {container != nullptr ? container->number : 0xFFFFFFFFu, operation,
                              count != nullptr ? *count : 0u, oneDrive ? drives[0].busNumber : 0u,
                              oneDrive ? drives[0].targetId : 0u, oneDrive ? drives[0].lun : 0u});
    lastReply_.clear();
    if (!play("FsaFailoverSpace", nullptr, 0, &s))
        return FsaExports::FsaFailoverSpace(handle, container, operation, count, drives);
    const size_t room = count != nullptr ? *count * sizeof(FSA_STORAGE_DEVICE) : 0;
    if (count != nullptr && lastReply_.size() >= 4)
        *count = countOf(lastReply_);
    copyRecords(lastReply_, drives, room);
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaGetContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                                    FSA_CONTAINER_INFO_EXTND* info, uint32_t size)
{
    FSA_STATUS s;
    return play("FsaGetContainerInfo2", info, size, &s) ? s
                                                         : FsaExports::FsaGetContainerInfo2(handle, next, container,
                                                                                            info, size);
}

FSA_STATUS ScriptedFsaExports::FsaContainerGetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                          tag_FSA_CONTAINER_PARAMS* out)
{
    FSA_STATUS s;
    return play("FsaContainerGetCacheParams", out, sizeof *out, &s)
               ? s
               : FsaExports::FsaContainerGetCacheParams(handle, container, out);
}

FSA_STATUS ScriptedFsaExports::FsaContainerGetCacheMode(void* handle, const tag_FSA_CONTAINER* container,
                                                        uint32_t out[2])
{
    FSA_STATUS s;
    return play("FsaContainerGetCacheMode", out, 2 * sizeof(uint32_t), &s)
               ? s
               : FsaExports::FsaContainerGetCacheMode(handle, container, out);
}

FSA_STATUS ScriptedFsaExports::FsaGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition,
                                                      FSA_PARTITION_INFO* info)
{
    FSA_STATUS s;
    return play("FsaGetFsaPartitionInfo", info, sizeof *info, &s)
               ? s
               : FsaExports::FsaGetFsaPartitionInfo(handle, next, partition, info);
}

FSA_STATUS ScriptedFsaExports::FsaGetTaskList(void* handle, const FSA_STORAGE_DEVICE* device,
                                              const tag_FSA_CONTAINER* container, FSA_TASK_DESCRIPTOR* out,
                                              uint32_t* count, uint32_t outBytes)
{
    FSA_STATUS s;
    containersAsked_.push_back(container != nullptr ? container->number : 0xFFFFFFFFu);
    keep("FsaGetTaskList", {reinterpret_cast<uintptr_t>(handle), device != nullptr ? device->targetId : 0xFFFFFFFFu,
                            outBytes});
    lastReply_.clear();
    if (!play("FsaGetTaskList", nullptr, 0, &s))
        return FsaExports::FsaGetTaskList(handle, device, container, out, count, outBytes);
    if (count != nullptr && lastReply_.size() >= 4)
        *count = countOf(lastReply_);
    copyRecords(lastReply_, out, outBytes);
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaGetTaskDetails(void* handle, uint32_t taskId, FSA_TASK_INFO* out)
{
    FSA_STATUS s;
    return play("FsaGetTaskDetails", out, sizeof *out, &s) ? s : FsaExports::FsaGetTaskDetails(handle, taskId, out);
}

std::vector<ScriptedFsaExports::Sent> ScriptedFsaExports::sent(const std::string& name) const
{
    std::vector<Sent> out;
    for (const auto& entry : sent_)
        if (entry.first == name)
            out.push_back(entry.second);
    return out;
}

FSA_STATUS ScriptedFsaExports::FsaSendScsiCommand(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t cdbLength,
                                                  uint8_t* cdb, uint32_t* dataLength, uint8_t* data,
                                                  uint32_t dataBufferLength, FSA_SCSI_DATA_DIR direction,
                                                  int reportSense, uint32_t* senseLength, uint8_t* sense,
                                                  uint32_t senseBufferLength, uint32_t* scsiStatus,
                                                  uint32_t* completionClass)
{
    sent_.push_back({"FsaSendScsiCommand", Sent{handle, cdb != nullptr ? std::vector<uint8_t>(cdb, cdb + cdbLength)
                                                                        : std::vector<uint8_t>()}});
    FSA_STATUS s;
    lastReply_.clear();
    if (!play("FsaSendScsiCommand", nullptr, 0, &s))
        return FsaExports::FsaSendScsiCommand(handle, device, cdbLength, cdb, dataLength, data, dataBufferLength,
                                              direction, reportSense, senseLength, sense, senseBufferLength,
                                              scsiStatus, completionClass);
    const std::vector<uint8_t>& reply = lastReply_;
    auto word = [&reply](size_t at) {
        uint32_t v = 0;
        for (size_t b = 0; b < 4 && at + b < reply.size(); ++b)
            v |= static_cast<uint32_t>(reply[at + b]) << (8 * b);
        return v;
    };
    if (scsiStatus != nullptr)
        *scsiStatus = word(0);
    if (completionClass != nullptr)
        *completionClass = word(4);
    const size_t senseAt = 8;
    const size_t dataAt = senseAt + kScsiSenseBytes;
    if (sense != nullptr && reply.size() > senseAt) {
        const size_t n = std::min<size_t>({senseBufferLength, kScsiSenseBytes, reply.size() - senseAt});
        std::memcpy(sense, reply.data() + senseAt, n);
        if (senseLength != nullptr)
            *senseLength = static_cast<uint32_t>(n);
    }
    if (data != nullptr && reply.size() > dataAt) {
        const size_t n = std::min<size_t>(dataBufferLength, reply.size() - dataAt);
        std::memcpy(data, reply.data() + dataAt, n);
        if (dataLength != nullptr)
            *dataLength = static_cast<uint32_t>(n);
    }
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaStorageDevice2(void* handle, const FSA_STORAGE_DEVICE* device, uint32_t operation,
                                                 uint32_t* parameters, uint32_t* extra)
{
    sent_.push_back({"FsaStorageDevice2", Sent{handle, words({operation, parameters != nullptr ? parameters[0] : 0,
                                                              parameters != nullptr ? parameters[1] : 0})}});
    keep("FsaStorageDevice2",
         {operation, device != nullptr ? device->busNumber : 0u, device != nullptr ? device->targetId : 0u,
          parameters != nullptr ? 1u : 0u, parameters != nullptr ? FsaDriveOpParamWord(parameters, 1) : 0u,
          parameters != nullptr ? FsaDriveOpParamWord(parameters, 2) : 0u,
          parameters != nullptr ? reinterpret_cast<uintptr_t>(FsaDriveOpParamPassword(parameters)) : 0u,
          extra != nullptr ? uint64_t{*extra} : uint64_t{0xFFFFFFFF}});
    FSA_STATUS s;
    return play("FsaStorageDevice2", nullptr, 0, &s) ? s
                                                     : FsaExports::FsaStorageDevice2(handle, device, operation,
                                                                                     parameters, extra);
}

namespace {

std::vector<uint64_t> deviceWords(const FSA_STORAGE_DEVICE* device)
{
    if (device == nullptr)
        return {0, 0, 0};
    return {device->busNumber, device->targetId, device->lun};
}

}  // namespace

FSA_STATUS ScriptedFsaExports::FsaTask(void* handle, uint32_t taskId, uint32_t operation)
{
    keep("FsaTask", {taskId, operation});
    FSA_STATUS s;
    return play("FsaTask", nullptr, 0, &s) ? s : FsaExports::FsaTask(handle, taskId, operation);
}

FSA_STATUS ScriptedFsaExports::FsaPauseResumeIo(void* handle, int timeoutSeconds, int noRescan)
{
    keep("FsaPauseResumeIo", {static_cast<uint64_t>(static_cast<int64_t>(timeoutSeconds)),
                              static_cast<uint64_t>(static_cast<int64_t>(noRescan))});
    FSA_STATUS s;
    return play("FsaPauseResumeIo", nullptr, 0, &s) ? s
                                                     : FsaExports::FsaPauseResumeIo(handle, timeoutSeconds, noRescan);
}

FSA_STATUS ScriptedFsaExports::FsaSetAutomaticFailover(void* handle, uint32_t on)
{
    keep("FsaSetAutomaticFailover", {on});
    FSA_STATUS s;
    return play("FsaSetAutomaticFailover", nullptr, 0, &s) ? s : FsaExports::FsaSetAutomaticFailover(handle, on);
}

FSA_STATUS ScriptedFsaExports::FsaResetController(void* handle)
{
    keep("FsaResetController", {});
    FSA_STATUS s;
    return play("FsaResetController", nullptr, 0, &s) ? s : FsaExports::FsaResetController(handle);
}

FSA_STATUS ScriptedFsaExports::FsaNvram(void* handle, uint32_t operation, uint32_t* record)
{
    std::vector<uint64_t> kept{operation};
    for (int w = 0; w < 5; ++w)
        kept.push_back(record != nullptr ? record[w] : 0u);
    keep("FsaNvram", std::move(kept));
    FSA_STATUS s;
    return play("FsaNvram", record, 5 * sizeof(uint32_t), &s) ? s : FsaExports::FsaNvram(handle, operation, record);
}

FSA_STATUS ScriptedFsaExports::FsaSetControllerDeviceCachePolicy(void* handle, int32_t first, int32_t second)
{
    keep("FsaSetControllerDeviceCachePolicy",
         {static_cast<uint64_t>(static_cast<int64_t>(first)), static_cast<uint64_t>(static_cast<int64_t>(second))});
    FSA_STATUS s;
    return play("FsaSetControllerDeviceCachePolicy", nullptr, 0, &s)
               ? s
               : FsaExports::FsaSetControllerDeviceCachePolicy(handle, first, second);
}

FSA_STATUS ScriptedFsaExports::FsaHasDirtyData(void* handle)
{
    keep("FsaHasDirtyData", {});
    FSA_STATUS s;
    return play("FsaHasDirtyData", nullptr, 0, &s) ? s : FsaExports::FsaHasDirtyData(handle);
}

FSA_STATUS ScriptedFsaExports::FsaFailPartition(void* handle, uint32_t unused, const FSA_PARTITION* partition)
{
    std::vector<uint64_t> kept{unused};
    for (size_t b = 4; b < 7; ++b)
        kept.push_back(partition != nullptr ? partition->bytes[FSA_PARTITION_DEVICE + b] : 0u);
    keep("FsaFailPartition", std::move(kept));
    FSA_STATUS s;
    return play("FsaFailPartition", nullptr, 0, &s) ? s : FsaExports::FsaFailPartition(handle, unused, partition);
}

FSA_STATUS ScriptedFsaExports::FsaCreateJBOD(void* handle, const FSA_STORAGE_DEVICE* device)
{
    keep("FsaCreateJBOD", deviceWords(device));
    FSA_STATUS s;
    return play("FsaCreateJBOD", nullptr, 0, &s) ? s : FsaExports::FsaCreateJBOD(handle, device);
}

FSA_STATUS ScriptedFsaExports::FsaDeleteJBOD(void* handle, const FSA_STORAGE_DEVICE* device)
{
    keep("FsaDeleteJBOD", deviceWords(device));
    FSA_STATUS s;
    return play("FsaDeleteJBOD", nullptr, 0, &s) ? s : FsaExports::FsaDeleteJBOD(handle, device);
}

FSA_STATUS ScriptedFsaExports::FsaOnlineDiskDiagnostic(void* handle, const FSA_STORAGE_DEVICE* device,
                                                       uint32_t operation, void* result)
{
    std::vector<uint64_t> kept = deviceWords(device);
    kept.push_back(operation);
    keep("FsaOnlineDiskDiagnostic", std::move(kept));
    FSA_STATUS s;
    return play("FsaOnlineDiskDiagnostic", result, 132, &s)
               ? s
               : FsaExports::FsaOnlineDiskDiagnostic(handle, device, operation, result);
}

FSA_STATUS ScriptedFsaExports::FSASetWearOutParams(void* handle, uint32_t a, uint32_t b, uint32_t c)
{
    keep("FSASetWearOutParams", {a, b, c});
    FSA_STATUS s;
    return play("FSASetWearOutParams", nullptr, 0, &s) ? s : FsaExports::FSASetWearOutParams(handle, a, b, c);
}

FSA_STATUS ScriptedFsaExports::FsaPollForEvent(void* handle, uint32_t bufferSize, void* buffer)
{
    keep("FsaPollForEvent", {bufferSize});
    FSA_STATUS s;
    return play("FsaPollForEvent", buffer, bufferSize, &s) ? s
                                                            : FsaExports::FsaPollForEvent(handle, bufferSize, buffer);
}

FSA_STATUS ScriptedFsaExports::FsaGetBusTargetLunFromDevHandle(void* handle, int32_t device, uint32_t* bus,
                                                               uint32_t* target, uint32_t* lun)
{
    keep("FsaGetBusTargetLunFromDevHandle", {static_cast<uint64_t>(static_cast<int64_t>(device))});
    uint32_t address[3] = {bus != nullptr ? *bus : 0u, target != nullptr ? *target : 0u, lun != nullptr ? *lun : 0u};
    FSA_STATUS s;
    if (!play("FsaGetBusTargetLunFromDevHandle", address, sizeof address, &s))
        return FsaExports::FsaGetBusTargetLunFromDevHandle(handle, device, bus, target, lun);
    if (bus != nullptr)
        *bus = address[0];
    if (target != nullptr)
        *target = address[1];
    if (lun != nullptr)
        *lun = address[2];
    return s;
}

// Controller logs.
FSA_STATUS ScriptedFsaExports::FsaGetNvramEventLog(void* handle, uint8_t* buffer, uint32_t size)
{
    keep("FsaGetNvramEventLog", {size});
    FSA_STATUS s;
    return play("FsaGetNvramEventLog", buffer, buffer != nullptr ? size : 0, &s)
               ? s
               : FsaExports::FsaGetNvramEventLog(handle, buffer, size);
}

FSA_STATUS ScriptedFsaExports::FsaDiagnostic(void* handle, unsigned selector, unsigned* parameter,
                                             FSA_DIAG_CALLBACK callback, void* arg)
{
    keep("FsaDiagnostic", {selector, parameter != nullptr ? *parameter : 0xFFFFFFFFu});
    FSA_STATUS s;
    lastReply_.clear();
    if (!play("FsaDiagnostic", nullptr, 0, &s))
        return FsaExports::FsaDiagnostic(handle, selector, parameter, callback, arg);
    const std::vector<uint8_t> reply = lastReply_;
    for (size_t at = 0; callback != nullptr && at + 4 <= reply.size();) {
        const uint32_t length = static_cast<uint32_t>(reply[at]) | static_cast<uint32_t>(reply[at + 1]) << 8 |
                                static_cast<uint32_t>(reply[at + 2]) << 16 | static_cast<uint32_t>(reply[at + 3]) << 24;
        at += 4;
        const size_t n = std::min<size_t>(length, reply.size() - at);
        std::vector<char> chunk(reply.begin() + static_cast<long>(at), reply.begin() + static_cast<long>(at + n));
        chunk.push_back('\0');
        at += n;
        if (selector == 6 && arg != nullptr) {
            auto* word = static_cast<uint8_t*>(arg);
            for (int b = 0; b < 4; ++b)
                word[b] = static_cast<uint8_t>(n >> (8 * b));
        }
        callback(chunk.data(), arg);
        delivered_.emplace_back(chunk.data(), n);
    }
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaGetDeadDriveLog2(void* handle, uint32_t* header, uint8_t* buffer, uint32_t* size)
{
    keep("FsaGetDeadDriveLog2", {buffer != nullptr ? 1u : 0u, size != nullptr ? *size : 0u});
    FSA_STATUS s;
    lastReply_.clear();
    if (!play("FsaGetDeadDriveLog2", nullptr, 0, &s))
        return FsaExports::FsaGetDeadDriveLog2(handle, header, buffer, size);
    const std::vector<uint8_t> reply = lastReply_;
    constexpr size_t kHeader = 32;
    if (header != nullptr && !reply.empty())
        std::memcpy(header, reply.data(), std::min(kHeader, reply.size()));
    if (buffer != nullptr && size != nullptr && reply.size() > kHeader)
        std::memcpy(buffer, reply.data() + kHeader, std::min<size_t>(*size, reply.size() - kHeader));
    if (buffer == nullptr && size != nullptr && reply.size() >= kHeader) {
        const uint16_t version = faGetLe16(reply.data() + 16);
        const uint32_t entry = version == 0 ? 48 : version == 1 ? 56 : 0;
        *size = deadDriveLogSize >= 0 ? static_cast<uint32_t>(deadDriveLogSize)
                                      : faGetLe32(reply.data()) * entry;
    }
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaGetDriveErrorTableSize(void* handle, uint32_t* size)
{
    FSA_STATUS s;
    return play("FsaGetDriveErrorTableSize", size, sizeof *size, &s)
               ? s
               : FsaExports::FsaGetDriveErrorTableSize(handle, size);
}

FSA_STATUS ScriptedFsaExports::FsaGetDriveErrorTable2(void* handle, uint32_t size, uint16_t* buffer)
{
    keep("FsaGetDriveErrorTable2", {size});
    FSA_STATUS s;
    return play("FsaGetDriveErrorTable2", buffer, buffer != nullptr ? size : 0, &s)
               ? s
               : FsaExports::FsaGetDriveErrorTable2(handle, size, buffer);
}

FSA_STATUS ScriptedFsaExports::FsaGetDriveErrorTable(void* handle, uint32_t* count, uint8_t* buffer)
{
    keep("FsaGetDriveErrorTable", {count != nullptr ? *count : 0u});
    FSA_STATUS s;
    lastReply_.clear();
    const uint32_t room = count != nullptr ? *count : 0;
    if (!play("FsaGetDriveErrorTable", count, count != nullptr ? sizeof *count : 0, &s))
        return FsaExports::FsaGetDriveErrorTable(handle, count, buffer);
    const std::vector<uint8_t> reply = lastReply_;
    if (buffer != nullptr && reply.size() > 4)
        std::memcpy(buffer, reply.data() + 4, std::min<size_t>(static_cast<size_t>(room) * 12, reply.size() - 4));
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaResetNvramEventLog(void* handle)
{
    FSA_STATUS s;
    return play("FsaResetNvramEventLog", nullptr, 0, &s) ? s : FsaExports::FsaResetNvramEventLog(handle);
}

FSA_STATUS ScriptedFsaExports::FsaClearDeadDriveLog(void* handle)
{
    FSA_STATUS s;
    return play("FsaClearDeadDriveLog", nullptr, 0, &s) ? s : FsaExports::FsaClearDeadDriveLog(handle);
}

FSA_STATUS ScriptedFsaExports::FsaClearDriveErrorTable(void* handle)
{
    FSA_STATUS s;
    return play("FsaClearDriveErrorTable", nullptr, 0, &s) ? s : FsaExports::FsaClearDriveErrorTable(handle);
}

// Controller statistics.
FSA_STATUS ScriptedFsaExports::FsaGetControllerStats(void* handle, uint32_t type, void* buffer, uint32_t* size)
{
    keep("FsaGetControllerStats", {type, size != nullptr ? *size : 0});
    FSA_STATUS s;
    return play("FsaGetControllerStats", buffer, size != nullptr ? *size : 0, &s)
               ? s
               : FsaExports::FsaGetControllerStats(handle, type, buffer, size);
}

FSA_STATUS ScriptedFsaExports::FsaSetControllerStats(void* handle, uint32_t enable)
{
    keep("FsaSetControllerStats", {enable});
    FSA_STATUS s;
    return play("FsaSetControllerStats", nullptr, 0, &s) ? s : FsaExports::FsaSetControllerStats(handle, enable);
}

FSA_STATUS ScriptedFsaExports::FsaResetControllerStatsCounters(void* handle)
{
    keep("FsaResetControllerStatsCounters", {});
    FSA_STATUS s;
    return play("FsaResetControllerStatsCounters", nullptr, 0, &s)
               ? s
               : FsaExports::FsaResetControllerStatsCounters(handle);
}

// Controller settings, maintenance and the SSD cache pool.
namespace {

// The flags of a drive-set call, the count, then each record's device id.
std::vector<uint64_t> setArguments(std::vector<uint64_t> flags, FSA_STORAGE_DEVICE* const* drives,
                                   const uint32_t* count)
{
    const uint32_t n = count != nullptr ? *count : 0;
    flags.push_back(n);
    for (uint32_t i = 0; drives != nullptr && *drives != nullptr && i < n; ++i)
        flags.push_back(static_cast<uint64_t>((*drives)[i].lun) << 16 | (*drives)[i].targetId);
    return flags;
}

}  // namespace

FSA_STATUS ScriptedFsaExports::FsaVerifyContainer2(void* handle, int operation, const void* request)
{
    uint32_t w[2] = {0, 0};
    if (request != nullptr)
        std::memcpy(w, request, sizeof w);
    keep("FsaVerifyContainer2", {static_cast<uint64_t>(static_cast<int64_t>(operation)), w[0], w[1]});
    FSA_STATUS s;
    return play("FsaVerifyContainer2", nullptr, 0, &s) ? s : FsaExports::FsaVerifyContainer2(handle, operation, request);
}

FSA_STATUS ScriptedFsaExports::FsaSetCopyback(void* handle, uint32_t enable)
{
    keep("FsaSetCopyback", {enable});
    FSA_STATUS s;
    return play("FsaSetCopyback", nullptr, 0, &s) ? s : FsaExports::FsaSetCopyback(handle, enable);
}

FSA_STATUS ScriptedFsaExports::FsaOnlineControllerDiagnostic(void* handle)
{
    keep("FsaOnlineControllerDiagnostic", {});
    FSA_STATUS s;
    return play("FsaOnlineControllerDiagnostic", nullptr, 0, &s) ? s
                                                                   : FsaExports::FsaOnlineControllerDiagnostic(handle);
}

FSA_STATUS ScriptedFsaExports::FsaClearPPITable(void* handle)
{
    keep("FsaClearPPITable", {});
    FSA_STATUS s;
    return play("FsaClearPPITable", nullptr, 0, &s) ? s : FsaExports::FsaClearPPITable(handle);
}

FSA_STATUS ScriptedFsaExports::FsaSetDefaultLDTaskPriority(void* handle, uint32_t priority, uint32_t flag)
{
    keep("FsaSetDefaultLDTaskPriority", {priority, flag});
    FSA_STATUS s;
    return play("FsaSetDefaultLDTaskPriority", nullptr, 0, &s)
               ? s
               : FsaExports::FsaSetDefaultLDTaskPriority(handle, priority, flag);
}

FSA_STATUS ScriptedFsaExports::FsaSetPerformanceMode(void* handle, uint32_t mode)
{
    keep("FsaSetPerformanceMode", {mode});
    FSA_STATUS s;
    return play("FsaSetPerformanceMode", nullptr, 0, &s) ? s : FsaExports::FsaSetPerformanceMode(handle, mode);
}

FSA_STATUS ScriptedFsaExports::FsaSetPMStayAwakePeriod(void* handle, uint32_t start, uint32_t stop, uint32_t enable,
                                                       uint8_t days)
{
    keep("FsaSetPMStayAwakePeriod", {start, stop, enable, days});
    FSA_STATUS s;
    return play("FsaSetPMStayAwakePeriod", nullptr, 0, &s)
               ? s
               : FsaExports::FsaSetPMStayAwakePeriod(handle, start, stop, enable, days);
}

FSA_STATUS ScriptedFsaExports::FsaSetPMSpinupLimits(void* handle, uint32_t internal, uint32_t external)
{
    keep("FsaSetPMSpinupLimits", {internal, external});
    FSA_STATUS s;
    return play("FsaSetPMSpinupLimits", nullptr, 0, &s) ? s
                                                         : FsaExports::FsaSetPMSpinupLimits(handle, internal, external);
}

FSA_STATUS ScriptedFsaExports::FsaSetPMUTCToLocalTimeDiff(void* handle, int32_t minutes)
{
    keep("FsaSetPMUTCToLocalTimeDiff", {static_cast<uint64_t>(static_cast<int64_t>(minutes))});
    FSA_STATUS s;
    return play("FsaSetPMUTCToLocalTimeDiff", nullptr, 0, &s) ? s
                                                               : FsaExports::FsaSetPMUTCToLocalTimeDiff(handle, minutes);
}

FSA_STATUS ScriptedFsaExports::FsaClearControllerNvsRam(void* handle)
{
    keep("FsaClearControllerNvsRam", {});
    FSA_STATUS s;
    return play("FsaClearControllerNvsRam", nullptr, 0, &s) ? s : FsaExports::FsaClearControllerNvsRam(handle);
}

FSA_STATUS ScriptedFsaExports::FsaSetSataNCQ(void* handle, int32_t enable)
{
    keep("FsaSetSataNCQ", {static_cast<uint64_t>(static_cast<int64_t>(enable))});
    FSA_STATUS s;
    return play("FsaSetSataNCQ", nullptr, 0, &s) ? s : FsaExports::FsaSetSataNCQ(handle, enable);
}

FSA_STATUS ScriptedFsaExports::FsaIsAdapterPausedEx(void* handle, int* paused)
{
    FSA_STATUS s;
    return play("FsaIsAdapterPausedEx", paused, paused != nullptr ? sizeof *paused : 0, &s)
               ? s
               : FsaExports::FsaIsAdapterPausedEx(handle, paused);
}

FSA_STATUS ScriptedFsaExports::FsaCreateUFIfromFile(void* handle, const char* fileName, uint8_t* buffer)
{
    keep("FsaCreateUFIfromFile", {});
    lastName_ = fileName != nullptr ? fileName : "";
    FSA_STATUS s;
    return play("FsaCreateUFIfromFile", nullptr, 0, &s) ? s : FsaExports::FsaCreateUFIfromFile(handle, fileName, buffer);
}

FSA_STATUS ScriptedFsaExports::FsaUpdateFlashImages(const uint8_t* buffer, uint32_t mode, void* handle)
{
    keep("FsaUpdateFlashImages", {mode});
    FSA_STATUS s;
    return play("FsaUpdateFlashImages", nullptr, 0, &s) ? s : FsaExports::FsaUpdateFlashImages(buffer, mode, handle);
}

FSA_STATUS ScriptedFsaExports::FsaInitStorageDeviceSetForFsa(void* handle, uint32_t force, uint32_t waitForTasks,
                                                             FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                             uint32_t allDevices)
{
    keep("FsaInitStorageDeviceSetForFsa", setArguments({force, waitForTasks, allDevices}, drives, count));
    FSA_STATUS s;
    lastReply_.clear();
    if (!play("FsaInitStorageDeviceSetForFsa", nullptr, 0, &s))
        return FsaExports::FsaInitStorageDeviceSetForFsa(handle, force, waitForTasks, drives, count, allDevices);
    const size_t room = count != nullptr ? *count * sizeof(FSA_STORAGE_DEVICE) : 0;
    if (count != nullptr && lastReply_.size() >= 4)
        *count = std::min(countOf(lastReply_), *count);
    copyRecords(lastReply_, drives != nullptr ? *drives : nullptr, room);
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaProtectStorageDeviceSet(void* handle, FSA_STORAGE_DEVICE** drives, uint32_t* count,
                                                          uint32_t allDevices, uint32_t protect)
{
    keep("FsaProtectStorageDeviceSet", setArguments({allDevices, protect}, drives, count));
    FSA_STATUS s;
    lastReply_.clear();
    if (!play("FsaProtectStorageDeviceSet", nullptr, 0, &s))
        return FsaExports::FsaProtectStorageDeviceSet(handle, drives, count, allDevices, protect);
    const size_t room = count != nullptr ? *count * sizeof(FSA_STORAGE_DEVICE) : 0;
    if (count != nullptr && lastReply_.size() >= 4)
        *count = std::min(countOf(lastReply_), *count);
    copyRecords(lastReply_, drives != nullptr ? *drives : nullptr, room);
    return s;
}

FSA_STATUS ScriptedFsaExports::FsaStorageDeviceSetCachePool(void* handle, FSA_STORAGE_DEVICE** drives,
                                                            uint32_t* count, uint32_t add)
{
    keep("FsaStorageDeviceSetCachePool", setArguments({add}, drives, count));
    FSA_STATUS s;
    return play("FsaStorageDeviceSetCachePool", nullptr, 0, &s)
               ? s
               : FsaExports::FsaStorageDeviceSetCachePool(handle, drives, count, add);
}

FSA_STATUS ScriptedFsaExports::FsaClearOrvexaPool(void* handle)
{
    keep("FsaClearOrvexaPool", {});
    FSA_STATUS s;
    return play("FsaClearOrvexaPool", nullptr, 0, &s) ? s : FsaExports::FsaClearOrvexaPool(handle);
}

FSA_STATUS ScriptedFsaExports::FsaSetOrvexaWrite(void* handle, uint32_t enable)
{
    keep("FsaSetOrvexaWrite", {enable});
    FSA_STATUS s;
    return play("FsaSetOrvexaWrite", nullptr, 0, &s) ? s : FsaExports::FsaSetOrvexaWrite(handle, enable);
}

FSA_STATUS ScriptedFsaExports::FsaSetOrvexaFlushAndFetchRate(void* handle, uint32_t rate)
{
    keep("FsaSetOrvexaFlushAndFetchRate", {rate});
    FSA_STATUS s;
    return play("FsaSetOrvexaFlushAndFetchRate", nullptr, 0, &s)
               ? s
               : FsaExports::FsaSetOrvexaFlushAndFetchRate(handle, rate);
}

FSA_STATUS ScriptedFsaExports::FsaSetDirtyPageThresholdValue(void* handle, uint32_t threshold)
{
    keep("FsaSetDirtyPageThresholdValue", {threshold});
    FSA_STATUS s;
    return play("FsaSetDirtyPageThresholdValue", nullptr, 0, &s)
               ? s
               : FsaExports::FsaSetDirtyPageThresholdValue(handle, threshold);
}

FSA_STATUS ScriptedFsaExports::FsaSetOrvexaRWFactor(void* handle, uint32_t readFactor, uint32_t writeFactor)
{
    keep("FsaSetOrvexaRWFactor", {readFactor, writeFactor});
    FSA_STATUS s;
    return play("FsaSetOrvexaRWFactor", nullptr, 0, &s)
               ? s
               : FsaExports::FsaSetOrvexaRWFactor(handle, readFactor, writeFactor);
}


// Logical-drive operations.
FSA_STATUS ScriptedFsaExports::FsaMorphContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t type,
                                                 uint32_t count, FSA_STORAGE_DEVICE* devices, uint32_t chunkBytes,
                                                 uint64_t size, int flag)
{
    std::vector<uint64_t> kept = {container != nullptr ? container->number : 0u, type, count, chunkBytes, size,
                                  static_cast<uint64_t>(flag)};
    for (uint32_t i = 0; devices != nullptr && i < count; ++i) {
        kept.push_back(devices[i].busNumber);
        kept.push_back(devices[i].targetId);
    }
    keep("FsaMorphContainer", std::move(kept));
    FSA_STATUS s;
    return play("FsaMorphContainer", nullptr, 0, &s)
               ? s
               : FsaExports::FsaMorphContainer(handle, container, type, count, devices, chunkBytes, size, flag);
}

FSA_STATUS ScriptedFsaExports::FsaContainerSetCacheParams(void* handle, const tag_FSA_CONTAINER* container,
                                                          const tag_FSA_CONTAINER_PARAMS* params)
{
    keep("FsaContainerSetCacheParams", {container != nullptr ? container->number : 0u,
                                        params != nullptr ? params->readCache : 0u,
                                        params != nullptr ? params->writeCache : 0u});
    FSA_STATUS s;
    return play("FsaContainerSetCacheParams", nullptr, 0, &s)
               ? s
               : FsaExports::FsaContainerSetCacheParams(handle, container, params);
}

FSA_STATUS ScriptedFsaExports::FsaReleaseContainerCache(void* handle, const tag_FSA_CONTAINER* container,
                                                        uint32_t* out)
{
    keep("FsaReleaseContainerCache", {container != nullptr ? container->number : 0u});
    FSA_STATUS s;
    return play("FsaReleaseContainerCache", out, out != nullptr ? sizeof *out : 0, &s)
               ? s
               : FsaExports::FsaReleaseContainerCache(handle, container, out);
}

FSA_STATUS ScriptedFsaExports::FsaContainerForceOnline(void* handle, const tag_FSA_CONTAINER* container,
                                                       uint32_t mode, uint32_t flags)
{
    keep("FsaContainerForceOnline", {container != nullptr ? container->number : 0u, mode, flags});
    FSA_STATUS s;
    return play("FsaContainerForceOnline", nullptr, 0, &s)
               ? s
               : FsaExports::FsaContainerForceOnline(handle, container, mode, flags);
}

FSA_STATUS ScriptedFsaExports::FsaContainerSetPowerManagement(void* handle, const tag_FSA_CONTAINER* container,
                                                              uint32_t enable, uint32_t timer1, uint32_t timer2,
                                                              uint32_t timer3)
{
    keep("FsaContainerSetPowerManagement",
         {container != nullptr ? container->number : 0u, enable, timer1, timer2, timer3});
    FSA_STATUS s;
    return play("FsaContainerSetPowerManagement", nullptr, 0, &s)
               ? s
               : FsaExports::FsaContainerSetPowerManagement(handle, container, enable, timer1, timer2, timer3);
}

FSA_STATUS ScriptedFsaExports::FsaContainerSetITPCacheSettings(void* handle, const tag_FSA_CONTAINER* container,
                                                               int enable)
{
    keep("FsaContainerSetITPCacheSettings",
         {container != nullptr ? container->number : 0u, static_cast<uint64_t>(enable)});
    FSA_STATUS s;
    return play("FsaContainerSetITPCacheSettings", nullptr, 0, &s)
               ? s
               : FsaExports::FsaContainerSetITPCacheSettings(handle, container, enable);
}

FSA_STATUS ScriptedFsaExports::FsaContainerSetOrvexaWriteCacheSettings(void* handle,
                                                                       const tag_FSA_CONTAINER* container,
                                                                       uint32_t mode, uint32_t value)
{
    keep("FsaContainerSetOrvexaWriteCacheSettings", {container != nullptr ? container->number : 0u, mode, value});
    FSA_STATUS s;
    return play("FsaContainerSetOrvexaWriteCacheSettings", nullptr, 0, &s)
               ? s
               : FsaExports::FsaContainerSetOrvexaWriteCacheSettings(handle, container, mode, value);
}

// Hot spares, drive firmware and other devices.

// SMART data.

std::vector<uint8_t> words(std::initializer_list<uint32_t> values)
{
    std::vector<uint8_t> out;
    for (uint32_t v : values)
        for (int b = 0; b < 4; ++b)
            out.push_back(static_cast<uint8_t>(v >> (8 * b)));
    return out;
}

std::unique_ptr<ScriptedFsaExports> succeedingExports(bool writeHandle)
{
    auto exports = std::make_unique<ScriptedFsaExports>();
    exports->answerUnscripted(FSA_STS_SUCCESS);
    if (writeHandle)
        exports->scriptAlways("FsaOpenAdapter2A", FSA_STS_SUCCESS, kWriteHandle);
    else
        exports->scriptAlways("FsaOpenAdapter2A", 301);
    return exports;
}

}  // namespace vyntest
