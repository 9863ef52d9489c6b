// The SMART statistics report of a controller's SATA drives, the copy of the
// last report the controller keeps, and one drive's attribute read back from
// that copy.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "common/SimpleXmlParser.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/VStream.h"
#include "common/XMLWriter.h"

namespace {

const char* const kZeroBuffer = "Buffer must be greater than zero in size";

// ATA SMART READ DATA: features and command of the pass-through.
constexpr unsigned char kSmartReadData = 0xD0;
constexpr unsigned char kSmartCommand = 0xB0;

// The page: a 2-byte revision, then 12-byte entries, at most 30 of them.
constexpr unsigned long kTableOffset = 2;
constexpr unsigned long kEntrySize = 12;
constexpr unsigned long kMaxEntries = 30;
constexpr unsigned kEntryCurrent = 3;
constexpr unsigned kEntryWorst = 4;
constexpr unsigned kEntryRaw = 5;
constexpr unsigned kRawBytes = 6;

constexpr int kInterfaceSata = 1;
constexpr int kPmReducedRpm = 2;
constexpr int kPmPoweredOff = 3;
constexpr unsigned char kPowerOnHours = 0x09;
constexpr unsigned long kWearOutArgument = 10;
constexpr unsigned long long kRawClamp = 4294967295ULL;
// A count of 32 MiB units in GiB.
constexpr double kWriteUnitBytes = 33554432.0;
constexpr double kBytesToGiB = 9.313225746154785e-10;

enum class Family { Other, Intel, Hpg };

struct FamilyIds {
    unsigned char wear;
    unsigned char writes;
};

FamilyIds idsOf(Family family)
{
    if (family == Family::Intel)
        return {0xE9, 0xE1};
    return {0xAD, 0xAD};
}

Family familyOf(const HardDrive& drive)
{
    if (!drive.IsNonSpinning())
        return Family::Other;
    const char* vendor = drive.getVendor();
    if (vendor != nullptr && std::strcmp(vendor, "INTEL") == 0)
        return Family::Intel;
    const char* level = drive.getFirmwareLevel();
    if (level != nullptr && std::strstr(level, "HPG") != nullptr)
        return Family::Hpg;
    return Family::Other;
}

std::string idText(unsigned long id)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(id));
    return text;
}

unsigned long channelOf(const PhysicalDevice& drive)
{
    const Channel* channel = drive.getChannel();
    return channel != nullptr ? channel->getChannelID() : drive.getChannelID();
}

// The six raw bytes, least significant first; what 32 bits cannot hold
// reads as their largest value.
unsigned long long rawValueOf(const unsigned char* entry)
{
    unsigned long long raw = 0;
    for (unsigned i = kRawBytes; i-- > 0;)
        raw = raw << 8 | entry[kEntryRaw + i];
    return raw > kRawClamp ? kRawClamp : raw;
}

// Remaining life from the wear indicator's normalized value, which counts
// down from 100. A value above 100 is no wear at all.
double longevity(unsigned wear, double base)
{
    if (wear >= 100)
        return 100.0 * base;
    return wear * base / (100 - wear);
}

void putQuoted(VStream& stream, const char* name, const char* value)
{
    stream << " " << name << "=\"" << (value != nullptr ? value : "") << "\"";
}

// "<SmartStats" with the controller's identity, ">" and a newline.
void putReportStart(VStream& stream, const Adapter& adapter)
{
    stream << VStream_NS::no1000sep;
    stream << "<SmartStats controllerID=\"" << adapter.getAdapterID() << "\"";
    stream << " time=\"" << static_cast<unsigned long>(std::time(nullptr)) << "\"";
    putQuoted(stream, "deviceVendor", adapter.getDeviceVendor());
    putQuoted(stream, "deviceName", adapter.getDeviceName());
    putQuoted(stream, "serialNumber", adapter.getSerialNumString());
    stream << ">\n";
}

void putText(VStream& stream, const char* text)
{
    if (text != nullptr)
        stream.PutBytes(text, std::strlen(text));
}

// One drive's element. False when the SMART read failed and the drive is
// left out; `ret` then holds the read's result.
bool writeDrive(HardDrive& drive, const std::map<std::string, const char*>* names, Family family,
                XMLWriter& writer, Ret& ret)
{
    const int pm = drive.getPMState();
    const bool awake = pm != kPmReducedRpm && pm != kPmPoweredOff;
    SCSICommand command;
    const unsigned char* table = nullptr;
    unsigned long entries = 0;
    if (awake) {
        command.initRead(kSmartReadData, kSmartCommand, SCSI_DIRECTION_READ);
        ret = drive.scsiPassThruCommand(command);
        if (ret.getReturn() != 0)
            return false;
        Buffer& data = command.getReadData();
        // Only whole entries inside what the drive returned are read.
        if (data.Ptr() != nullptr && data.Size() > kTableOffset) {
            table = data.Ptr() + kTableOffset;
            entries = (data.Size() - kTableOffset) / kEntrySize;
            if (entries > kMaxEntries)
                entries = kMaxEntries;
        }
    }

    writer.writeRawString("<PhysicalDriveSmartStats");
    writer.writeInt("channel", static_cast<int>(channelOf(drive)));
    writer.writeInt("id", static_cast<int>(drive.getDeviceID()));
    writer.writeBool("nonSpinning", drive.IsNonSpinning());
    writer.writeBool("isDescriptionAvailable", family != Family::Other);
    if (!awake) {
        writer.writeString("sleeping", "true");
        writer.writeRawString(" />\n");
        return true;
    }
    writer.writeRawString(" >\n");

    const FamilyIds ids = idsOf(family);
    unsigned wear = 0;
    double hours = 0.0;
    double writes = 0.0;
    for (unsigned long i = 0; i < entries; ++i) {
        const unsigned char* entry = table + i * kEntrySize;
        const unsigned char id = entry[0];
        if (id == 0)
            break;
        const unsigned long long raw = rawValueOf(entry);
        if (family != Family::Other && id == ids.writes)
            writes = static_cast<double>(raw) * kWriteUnitBytes * kBytesToGiB;

        const std::string text = idText(id);
        writer.writeRawString("<Attribute");
        writer.writeString("id", text.c_str());
        if (names != nullptr) {
            const auto found = names->find(text);
            writer.writeString("name", found != names->end() && found->second != nullptr ? found->second
                                                                                      : "Unknown Attribute");
        }
        writer.writeULong("normalizedCurrent", entry[kEntryCurrent]);
        writer.writeULong("normalizedWorst", entry[kEntryWorst]);
        if (family != Family::Other && id == ids.wear)
            writer.writeDouble("rawValue", writes);
        else
            writer.writeU64("rawValue", raw);
        writer.writeRawString(" />\n");

        if (family == Family::Other)
            continue;
        if (id == kPowerOnHours)
            hours = static_cast<double>(raw);
        if (id == ids.wear) {
            wear = entry[kEntryCurrent];
            // The controller's wear-out figures are advisory: a refusal
            // changes nothing in the report.
            drive.SetWearOutParams(drive.getDeviceID(), id, kWearOutArgument);
        }
    }
    if (family != Family::Other) {
        writer.writeRawString("<CalculatedLongevity");
        writer.writeDouble("powerOnHoursBased", longevity(wear, hours));
        writer.writeDouble("futureWritesBased", longevity(wear, writes));
        writer.writeRawString(" />\n");
    }
    writer.writeRawString("</PhysicalDriveSmartStats>\n");
    return true;
}

}  // namespace

Ret VynAdapter::getSmartStats(char* buffer, unsigned long& size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getSmartStats()");
    Ret ret(0);
    if (size == 0) {
        vynerror::badParam(ret, kZeroBuffer, 0);
        return ret;
    }
    if (buffer == nullptr) {
        vynerror::badParam(ret, "pBufferIN==NULL", 0);
        return ret;
    }
    try {
        VStream stream(buffer, size);
        putReportStart(stream, *this);
        for (unsigned long i = 0; i < getNumHardDrives(); ++i) {
            HardDrive* drive = getHardDrive(i);
            if (drive == nullptr || drive->getInterfaceType() != kInterfaceSata)
                continue;
            const Family family = familyOf(*drive);
            const std::map<std::string, const char*>* names =
                family == Family::Intel ? &smartNames : family == Family::Hpg ? &secondSmartNames : nullptr;
            char* text = nullptr;
            XMLWriter writer(&text);
            if (writeDrive(*drive, names, family, writer, ret))
                putText(stream, text);
        }
        stream << "</SmartStats>\n";
        stream.Terminate();
        // A fixed stream that filled up started again at the front: what the
        // buffer holds is not the report, and the cache keeps the last one.
        if (stream.IsOverflow()) {
            size = 0;
            buffer[0] = '\0';
            vynerror::overflow(ret, "SMART statistics larger than the buffer");
            return ret;
        }
        const unsigned long written = stream.PutOffset();
        std::unique_ptr<char[]> copy(new char[written + 1]);
        std::memcpy(copy.get(), buffer, written);
        copy[written] = '\0';
        delete[] cachedSmartStats;
        cachedSmartStats = copy.release();
        cachedSmartStatsSize = written;
        size = written;
    } catch (const VStreamException&) {
        // Too small even for the stream's own reserve.
        size = 0;
        vynerror::overflow(ret, "SMART statistics larger than the buffer");
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

void VynAdapter::getCachedSmartStatXml(char* destination) const
{
    if (destination == nullptr || cachedSmartStats == nullptr || cachedSmartStatsSize == 0)
        return;
    std::memcpy(destination, cachedSmartStats, cachedSmartStatsSize);
}

namespace {

// Copies the found attribute's remaining values into the answer, as they
// come; true once "rawValue" closed the element.
bool copyAttributeValue(const SimpleXmlParser& parser, XMLWriter& writer)
{
    if (parser.nameIs("name")) {
        writer.writeString("name", parser.getValue());
    } else if (parser.nameIs("normalizedCurrent") || parser.nameIs("normalizedWorst") ||
               parser.nameIs("threshold")) {
        writer.writeLong(parser.getName(), std::strtol(parser.getValue(), nullptr, 10));
    } else if (parser.nameIs("rawValue")) {
        writer.writeDouble("rawValue", std::strtod(parser.getValue(), nullptr));
        writer.writeRawString(" />\n");
        return true;
    }
    return false;
}

}  // namespace

Ret VynHardDrive::getSmartInfoById(char* id, char* buffer, unsigned long& size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::getSmartInfoById()");
    Ret ret(0);
    if (size == 0) {
        vynerror::badParam(ret, kZeroBuffer, 0);
        return ret;
    }
    if (id == nullptr || buffer == nullptr) {
        vynerror::badParam(ret, id == nullptr ? "pIdIN==NULL" : "pBufferIN==NULL", 0);
        return ret;
    }
    try {
        VStream stream(buffer, size);
        bool found = false;
        const unsigned long length = vynAdapter != nullptr ? vynAdapter->getCachedSmartStatXmlSize() : 0;
        if (length != 0) {
            std::unique_ptr<char[]> copy(new char[length + 1]);
            vynAdapter->getCachedSmartStatXml(copy.get());
            copy[length] = '\0';
            const std::string wanted = idText(std::strtoul(id, nullptr, 16));
            const unsigned long ownChannel = channelOf(*this);
            const unsigned long ownId = getDeviceID();
            // Ids of the drive element being read; unset outside one.
            long channel = -1;
            long device = -1;
            bool inOwn = false;
            bool inWanted = false;
            char* inner = nullptr;
            XMLWriter writer(&inner);

            SimpleXmlParser parser(copy.get(), length);
            while (!found && parser.parseNext()) {
                if (parser.tagIs("SmartStats") && parser.foundEndTag())
                    break;
                if (parser.tagIs("PhysicalDriveSmartStats")) {
                    if (parser.foundStartTag()) {
                        channel = device = -1;
                        inOwn = false;
                    }
                    if (parser.foundEndTag()) {
                        if (inOwn)
                            break;
                        channel = device = -1;
                        continue;
                    }
                    if (parser.nameIs("channel"))
                        channel = static_cast<long>(parser.getULONG());
                    else if (parser.nameIs("id"))
                        device = static_cast<long>(parser.getULONG());
                    inOwn = channel == static_cast<long>(ownChannel) && device == static_cast<long>(ownId);
                    continue;
                }
                if (!parser.tagIs("Attribute") || !inOwn)
                    continue;
                if (parser.foundStartTag())
                    inWanted = false;
                if (parser.foundEndTag()) {
                    inWanted = false;
                    continue;
                }
                if (!inWanted) {
                    if (!parser.nameIs("id") || std::strcmp(parser.getValue(), wanted.c_str()) != 0)
                        continue;
                    inWanted = true;
                    putReportStart(stream, *vynAdapter);
                    writer.writeRawString("<PhysicalDriveSmartStats");
                    writer.writeInt("channel", static_cast<int>(ownChannel));
                    writer.writeInt("id", static_cast<int>(ownId));
                    writer.writeBool("nonSpinning", IsNonSpinning());
                    writer.writeRawString(" >\n");
                    writer.writeRawString("<Attribute");
                    writer.writeString("id", parser.getValue());
                    continue;
                }
                if (copyAttributeValue(parser, writer)) {
                    writer.writeRawString("</PhysicalDriveSmartStats>\n");
                    putText(stream, inner);
                    stream << "</SmartStats>\n";
                    found = true;
                }
            }
        }
        stream.Terminate();
        if (stream.IsOverflow()) {
            size = 0;
            buffer[0] = '\0';
            vynerror::overflow(ret, "SMART attribute larger than the buffer");
            return ret;
        }
        size = stream.PutOffset();
        if (!found)
            ret.setObjectNotFound();
    } catch (const VStreamException&) {
        size = 0;
        vynerror::overflow(ret, "SMART attribute larger than the buffer");
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}
