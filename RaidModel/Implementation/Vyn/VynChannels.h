#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCHANNELS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCHANNELS_H

#include <cstdint>

#include "Command/Vyn/common/fa_readonly.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/SASConnector.h"
#include "RaidModel/Interface/SASPhy.h"

class VynAdapter;

// Channels of a controller of the family, built from the firmware's channel
// record with the speed value the tree build computed. The record's channel
// number is the channel's id.
class VynSCSIChannel : public SCSIChannel {
public:
    VynSCSIChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed);
    ~VynSCSIChannel() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    VynAdapter* vynAdapter;
};

class VynSATAChannel : public SATAChannel {
public:
    VynSATAChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed);
    ~VynSATAChannel() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    VynAdapter* vynAdapter;
};

class VynSASChannel : public SASChannel {
public:
    VynSASChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, EnumSpeed speed);
    ~VynSASChannel() override;
    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    VynAdapter* vynAdapter;
};

// One SAS phy of the controller itself, from its adapter phy record.
class VynSASPhy : public SASPhy {
public:
    explicit VynSASPhy(const _FSA_SAS_PHY_ENTITY* phy);
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
