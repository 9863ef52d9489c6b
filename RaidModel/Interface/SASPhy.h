#ifndef VYN_RAIDMODEL_INTERFACE_SASPHY_H
#define VYN_RAIDMODEL_INTERFACE_SASPHY_H

#include <cstdint>

#include "RaidModel/Interface/RaidObject.h"

class SimpleXmlParser;
class Writer;

// SAS codes as the controller family reports them; the model carries them
// as numbers.
enum EnumSASDeviceType : int {};
enum EnumSASNegotiatedLinkRate : int {};
enum EnumSASProgrammedLinkRate : int {};
enum EnumSASHardwareLinkRate : int {};
enum EnumSASRoutingType : int {};

// One SAS phy of a controller, a device or an enclosure slot: its own address
// and protocols, what is attached to it, and its link rates. The phy's id is
// the SAS phy id of the node's address.
class SASPhy : public RaidObject {
public:
    static constexpr unsigned SAS_ADDRESS_SIZE = 32;

    SASPhy();
    // Null texts are empty; longer ones keep their first 31 characters.
    SASPhy(unsigned long phyID, const char* sasAddress, unsigned char initiatorProtocols,
           unsigned char targetProtocols, unsigned long attachedPhyID, const char* attachedSasAddress,
           unsigned char attachedInitiatorProtocols, unsigned char attachedTargetProtocols,
           EnumSASDeviceType attachedDeviceType, EnumSASNegotiatedLinkRate negotiatedRate,
           EnumSASProgrammedLinkRate progMin, EnumSASProgrammedLinkRate progMax,
           EnumSASHardwareLinkRate hwMin, EnumSASHardwareLinkRate hwMax, unsigned char phyChangeCount,
           bool virtualPhy, unsigned char pathTimeout, EnumSASRoutingType routingType);
    explicit SASPhy(SimpleXmlParser& parser);
    SASPhy(const SASPhy& other);
    SASPhy& operator=(const SASPhy& other);
    ~SASPhy() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    unsigned long getPhyID() const { return getSASPhyID(); }
    const char* getSASAddress() const { return sasAddress; }

protected:
    void copyFields(const SASPhy& other);

    EnumSASDeviceType attachedDeviceType = static_cast<EnumSASDeviceType>(0);
    EnumSASNegotiatedLinkRate negotiatedLinkRate = static_cast<EnumSASNegotiatedLinkRate>(0);
    std::uint8_t initiatorProtocols = 0;
    std::uint8_t targetProtocols = 0;
    std::uint8_t attachedInitiatorProtocols = 0;
    std::uint8_t attachedTargetProtocols = 0;
    char sasAddress[SAS_ADDRESS_SIZE] = {};
    char attachedSasAddress[SAS_ADDRESS_SIZE] = {};
    std::uint32_t attachedPhyID = 0;
    EnumSASProgrammedLinkRate programmedMinLinkRate = static_cast<EnumSASProgrammedLinkRate>(0);
    EnumSASProgrammedLinkRate programmedMaxLinkRate = static_cast<EnumSASProgrammedLinkRate>(0);
    EnumSASHardwareLinkRate hardwareMinLinkRate = static_cast<EnumSASHardwareLinkRate>(0);
    EnumSASHardwareLinkRate hardwareMaxLinkRate = static_cast<EnumSASHardwareLinkRate>(0);
    std::uint8_t phyChangeCount = 0;
    bool virtualPhy = false;
    std::uint8_t pathTimeout = 0;
    EnumSASRoutingType routingType = static_cast<EnumSASRoutingType>(0);
};

#endif
