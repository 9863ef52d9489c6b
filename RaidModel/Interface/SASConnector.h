#ifndef VYN_RAIDMODEL_INTERFACE_SASCONNECTOR_H
#define VYN_RAIDMODEL_INTERFACE_SASCONNECTOR_H

#include <cstdint>

#include "RaidModel/Interface/RaidObject.h"

class SimpleXmlParser;
class Writer;

// One connector of a controller and the channel, device and lane it leads to.
// Its ids are its own fields, apart from the node's address.
class SASConnector : public RaidObject {
public:
    static constexpr std::int32_t UNSET = 0x7FFFFFFF;
    static constexpr unsigned TEXT_SIZE = 32;

    SASConnector();
    // Fields whose attribute is absent keep their defaults.
    explicit SASConnector(SimpleXmlParser& parser);
    SASConnector(const SASConnector&) = delete;
    SASConnector& operator=(const SASConnector&) = delete;
    ~SASConnector() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;

    long getChannelID() const { return channelID; }
    long getDevID() const { return deviceID; }
    long getLaneID() const { return laneID; }
    long getConnectorID() const { return connectorID; }
    long getPhyID() const { return phyID; }
    long getConnectorType() const { return connectorType; }
    const char* getSASAddress() const { return sasAddress; }
    const char* getConnectorName() const { return connectorName; }

protected:
    std::int32_t channelID = UNSET;
    std::int32_t deviceID = UNSET;
    std::int32_t laneID = UNSET;
    char sasAddress[TEXT_SIZE] = {};
    std::int32_t phyID = UNSET;
    std::int32_t connectorID = UNSET;
    std::int32_t connectorType = UNSET;
    char connectorName[TEXT_SIZE] = {};
};

#endif
