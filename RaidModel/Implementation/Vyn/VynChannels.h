#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCHANNELS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCHANNELS_H

#include <cstdint>

#include "Command/Vyn/common/fa_readonly.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/SASConnector.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/Serializable.h"
#include "common/Ret.h"

class VynAdapter;

// The firmware's record of one channel, hung on the channel it describes
// (the channel owns it). It answers the channel's firmware questions and
// blinks the channel's drives.
class VynChannelAttach : public Serializable {
public:
    VynChannelAttach(Channel* channel, const _tagFSA_CHANNEL_ENUM_INFO* info);
    ~VynChannelAttach() override;
    VynChannelAttach(const VynChannelAttach&) = delete;
    VynChannelAttach& operator=(const VynChannelAttach&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer*) const override {}

    // A null record changes nothing.
    void setFsaInfo(const _tagFSA_CHANNEL_ENUM_INFO* info);
    const _tagFSA_CHANNEL_ENUM_INFO* getFsaInfo() const { return &record; }
    bool IsClustered() const { return isClustered; }
    bool IsPaused() const { return isPaused; }
    // Identifies every hard drive of the channel; the result of the last
    // drive that failed, or 0.
    Ret identifyDevice(bool on);

private:
    Channel* channel;
    _tagFSA_CHANNEL_ENUM_INFO record;
    bool isPaused = false;
    bool isClustered = false;
};

// What the three channel classes answer alike from their attachment: 0 or
// false without one.
class VynChannelRecord {
public:
    explicit VynChannelRecord(const Channel* self) : self(self) {}
    bool getIsClustered() const;
    bool getIsPaused() const;
    uint32_t getFsaChanStatus() const;
    uint32_t getClusterPartnerID() const;
    // The channel's identify: through its attachment.
    Ret identifyChannel(bool on) const;

private:
    const VynChannelAttach* attachment() const;
    const Channel* self;
};

// Channels of a controller of the family, built from the firmware's channel
// record with the speed value the tree build computed. The record's channel
// number is the channel's id.
class VynSCSIChannel : public SCSIChannel, public VynChannelRecord {
public:
    VynSCSIChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed);
    ~VynSCSIChannel() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    Ret identifyDevice(bool on) override;
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    VynAdapter* vynAdapter;
};

class VynSATAChannel : public SATAChannel, public VynChannelRecord {
public:
    VynSATAChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed);
    ~VynSATAChannel() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    Ret identifyDevice(bool on) override;
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    VynAdapter* vynAdapter;
};

class VynSASChannel : public SASChannel, public VynChannelRecord {
public:
    VynSASChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed);
    ~VynSASChannel() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    Ret identifyDevice(bool on) override;
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    VynAdapter* vynAdapter;
};

// One SAS phy of the controller itself, from its adapter phy record, or of
// a drive, from the drive's phy record.
class VynSASPhy : public SASPhy {
public:
    explicit VynSASPhy(const _FSA_SAS_PHY_ENTITY* phy);
    explicit VynSASPhy(const _FSA_SAS_DISK_PHY_INFO* phy);
    ~VynSASPhy() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

// The connector map's entries: a lane (device) entry and a connector entry.
// The lane entry is read to its SAS address at bytes 8 to 15.
struct fsa_dev_info_struct {
    uint8_t bytes[16];
};
static_assert(sizeof(fsa_dev_info_struct) == 16, "lane entry as read is 16 bytes");
struct fsa_connector_info_struct {
    uint8_t bytes[16];
};
static_assert(sizeof(fsa_connector_info_struct) == 16, "connector entry is 16 bytes");

// One connector of the controller and the lane it leads to.
class VynSASConnector : public SASConnector {
public:
    VynSASConnector(const fsa_dev_info_struct* lane, const fsa_connector_info_struct* connector);
    ~VynSASConnector() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
};

#endif
