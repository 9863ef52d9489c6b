// Drive firmware download: the command blocks of each chunk, the retries the
// whole download shares, the image file and its bounds, and IDENTIFY words,
// on the scripted exports; the images the simulated drives stage, in
// process and through the command-line program.
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "platform/hostsim/DriveFirmware.h"
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::TreePtr;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kDownloadMicrocode = 0x92;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kIdentify = 0xEC;

// Image bytes that differ from block to block and within each block.
std::string imageOf(size_t n)
{
    std::string image(n, '\0');
    for (size_t i = 0; i < n; ++i)
        image[i] = static_cast<char>((i * 7 + i / 512) & 0xFF);
    return image;
}

// The pass-through's answer: SCSI status, completion class, then the sense
// bytes (key in byte 2).
Bytes answer(uint32_t scsiStatus, uint32_t srbStatus, uint8_t senseKey = 0)
{
    Bytes reply = vyntest::words({scsiStatus, srbStatus});
    reply.resize(8 + ScriptedFsaExports::kScsiSenseBytes, 0);
    if (senseKey != 0) {
        reply[8] = 0x70;
        reply[8 + 2] = senseKey;
    }
    return reply;
}
const Bytes kGood = answer(0, 1);
const Bytes kNotReady = answer(2, 4, 2);
const Bytes kRetryLater = answer(0, 10);

class VynDriveFirmwareTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        vyntest::FamilyTest::SetUp();
        // Only the simulated clock: the downloads' waits are its sleeps.
        startController();
        const _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord(4);
        adapter.reset(new VynAdapter(&r, nullptr, 0, nullptr, nullptr));
        _tagFSA_CHANNEL_ENUM_INFO c = {};
        channel = new VynSASChannel(adapter.get(), &c, static_cast<EnumSpeed>(400));
        adapter->addChild(channel);
        fsa.answerUnscripted(31);
        fsa.scriptAlways("FsaGetDiskSasPhyInfo", 1);
    }

    VynHardDrive* addDrive(bool sata)
    {
        FSA_STORAGE_DEVICE_INFO info;
        std::memset(&info, 0, sizeof info);
        // A SATA drive behind the SAS port; 1 is a SAS drive.
        info.address.storageDeviceType = sata ? 2 : 1;
        info.address.targetId = 3;
        info.numBlocksLow = 1000000;
        info.bytesPerBlock = 512;
        info.negotiatedSpeedInMbps = 3000;
        auto* d = new VynHardDrive(adapter.get(), channel, 3, 1000000);
        channel->addChild(d);
        new VynPhysicalDeviceAttach(channel, d, &info, nullptr);
        return d;
    }

    std::string file(const std::string& name, const std::string& content)
    {
        const std::string path = root() + "/" + name;
        vyntest::writeFile(path, content);
        return path;
    }

    // A download on the drive of that interface; a SATA download's IDENTIFY
    // reads are answered with zero words.
    Ret download(VynHardDrive* drive, bool sata, const std::string& path, unsigned long chunk, uint8_t mode)
    {
        fsa.clearCalls();
        sentBefore = fsa.sent("FsaSendScsiCommand").size();
        return sata ? drive->upgradeSATADriveFirmware(path.c_str(), chunk, mode)
                    : drive->upgradeSASDriveFirmware(path.c_str(), chunk, mode);
    }
    // The command blocks of the download chunks sent since download().
    std::vector<Bytes> chunks() const
    {
        std::vector<Bytes> out;
        const auto all = fsa.sent("FsaSendScsiCommand");
        for (size_t i = sentBefore; i < all.size(); ++i) {
            const Bytes& cdb = all[i].bytes;
            if ((cdb.size() == 12 && cdb[9] == kDownloadMicrocode) || (cdb.size() == 10 && cdb[0] == kWriteBuffer))
                out.push_back(cdb);
        }
        return out;
    }
    unsigned identifies() const
    {
        unsigned n = 0;
        for (const auto& s : fsa.sent("FsaSendScsiCommand"))
            n += s.bytes.size() == 12 && s.bytes[9] == kIdentify ? 1 : 0;
        return n;
    }
    // Answers for a SATA download: the IDENTIFY read, then `sends`.
    void script(bool sata, const std::vector<std::pair<FSA_STATUS, Bytes>>& sends)
    {
        if (sata)
            fsa.script("FsaSendScsiCommand", 1, kGood);
        for (const auto& s : sends)
            fsa.script("FsaSendScsiCommand", s.first, s.second);
    }

    ScriptedFsaExports fsa;
    TreePtr<VynAdapter> adapter;
    Channel* channel = nullptr;
    size_t sentBefore = 0;
};

TEST_F(VynDriveFirmwareTest, EachChunkCarriesItsOffsetAndTheLastItsOwnLength)
{
    struct Case {
        const char* name;
        bool sata;
        size_t imageBytes;
        unsigned long chunk;
        uint8_t mode;
        std::vector<Bytes> cdbs;
    } cases[] = {
        // 0x201 blocks and 100 bytes in chunks of 0x100 blocks: the bytes
        // after the last whole block are not sent.
        {"SATA",
         true,
         0x201 * 512 + 100,
         0x100 * 512,
         3,
         {
             {0xA1, 0x0A, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x92, 0x00, 0x00},
             {0xA1, 0x0A, 0x06, 0x03, 0x00, 0x01, 0x00, 0x01, 0x00, 0x92, 0x00, 0x00},
             {0xA1, 0x0A, 0x06, 0x03, 0x01, 0x00, 0x00, 0x02, 0x00, 0x92, 0x00, 0x00},
         }},
        {"SAS",
         false,
         0x20123,
         0x10000,
         7,
         {
             {0x3B, 0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00},
             {0x3B, 0x07, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00},
             {0x3B, 0x07, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x23, 0x00},
         }},
        // An image smaller than one chunk: one command of its size.
        {"SATA 1000 bytes", true, 1000, 16384, 3, {{0xA1, 0x0A, 0x06, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x92, 0x00, 0x00}}},
        {"SAS 1000 bytes", false, 1000, 16384, 7, {{0x3B, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xE8, 0x00}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        VynHardDrive* drive = addDrive(k.sata);
        fsa.scriptAlways("FsaSendScsiCommand", 1, kGood);
        const std::string path = file("image.bin", imageOf(k.imageBytes));
        const Ret ret = download(drive, k.sata, path, k.chunk, k.mode);
        EXPECT_EQ(ret, Ret()) << errorLog();
        EXPECT_EQ(chunks(), k.cdbs);
        channel->deleteChild(drive);
    }
}

TEST_F(VynDriveFirmwareTest, RetriesAreSharedByTheWholeDownload)
{
    const std::pair<FSA_STATUS, Bytes> good{1, kGood}, notReady{1, kNotReady}, later{1, kRetryLater};
    struct Case {
        const char* name;
        std::vector<std::pair<FSA_STATUS, Bytes>> sends;
        int code;
        size_t sent;
    } cases[] = {
        // Not ready in the first and in the second chunk: the third ends it.
        {"three not-ready answers", {notReady, good, notReady, good, notReady}, 6, 5},
        // The third answer asking for the chunk again takes it as done.
        {"three retry answers", {later, later, later, good, good}, 0, 5},
        {"a not-ready and two retry answers", {notReady, good, later, later, good}, 0, 5},
        // A medium error is no reason to send again.
        {"medium error", {{1, answer(2, 4, 3)}}, 6, 1},
        {"a check condition without a sense key", {{1, answer(2, 4, 0)}}, 6, 1},
        {"an aborted command", {{1, answer(0, 2)}}, 6, 1},
    };
    for (bool sata : {true, false}) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(sata ? "SATA, " : "SAS, ") + k.name);
            VynHardDrive* drive = addDrive(sata);
            script(sata, k.sends);
            // Three chunks.
            const std::string path = file("image.bin", imageOf(3 * 512));
            const unsigned before = errorCount("*** FSA API Error: API Return Code = ");
            const Ret ret = download(drive, sata, path, 512, 3);
            EXPECT_EQ(ret.getReturn(), k.code);
            EXPECT_EQ(chunks().size(), k.sent);
            // A refusal writes the send's details.
            EXPECT_EQ(errorCount("*** FSA API Error: API Return Code = "), before + (k.code != 0 ? 1 : 0));
            channel->deleteChild(drive);
        }
    }
}

TEST_F(VynDriveFirmwareTest, ABusyControllerIsWaitedForTwiceOnSataOnly)
{
    struct Case {
        const char* name;
        bool sata;
        std::vector<std::pair<FSA_STATUS, Bytes>> sends;
        int code;
        size_t sent;
        uint64_t waitedMs;
    } cases[] = {
        {"SATA, busy twice", true, {{10, {}}, {10, {}}, {1, kGood}}, 0, 3, 20000},
        {"SATA, busy three times", true, {{10, {}}, {10, {}}, {10, {}}}, -5, 3, 20000},
        {"SATA, another status", true, {{9, {}}}, -5, 1, 0},
        {"SAS, busy", false, {{10, {}}}, -5, 1, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        VynHardDrive* drive = addDrive(k.sata);
        script(k.sata, k.sends);
        const std::string path = file("image.bin", imageOf(512));
        const uint64_t before = sim().clockMs();
        const Ret ret = download(drive, k.sata, path, 512, 3);
        EXPECT_EQ(ret.getReturn(), k.code);
        if (k.code != 0) {
            EXPECT_EQ(ret.getAPIReturn(), k.sends.back().first);
        }
        EXPECT_EQ(chunks().size(), k.sent);
        EXPECT_EQ(sim().clockMs() - before, k.waitedMs);
        channel->deleteChild(drive);
    }
}

TEST_F(VynDriveFirmwareTest, AnotherFileNameIsReadAgain)
{
    for (bool sata : {true, false}) {
        SCOPED_TRACE(sata ? "SATA" : "SAS");
        VynHardDrive* drive = addDrive(sata);
        fsa.scriptAlways("FsaSendScsiCommand", 1, kGood);
        const std::string first = file("first.bin", imageOf(512));
        const std::string second = file("second.bin", imageOf(3 * 512));
        ASSERT_EQ(download(drive, sata, first, 512, 3), Ret());
        EXPECT_EQ(chunks().size(), 1u);
        ASSERT_EQ(download(drive, sata, second, 512, 3), Ret());
        EXPECT_EQ(chunks().size(), 3u);
        // The same name again is the image the drive holds, even when the
        // file changed since.
        file("second.bin", imageOf(5 * 512));
        ASSERT_EQ(download(drive, sata, second, 512, 3), Ret());
        EXPECT_EQ(chunks().size(), 3u);
        channel->deleteChild(drive);
    }
}

TEST_F(VynDriveFirmwareTest, BadFilesAndSizesAreRefusedBeforeAnythingIsSent)
{
    std::filesystem::create_directory(root() + "/folder");
    const std::string small = file("small.bin", imageOf(300));
    const std::string image = file("image.bin", imageOf(4096));
    file("empty.bin", "");
    // Sparse images just past what the offset fields address: the SAS one
    // has a chunk at byte 0x1000000, the SATA one at block 0x10000.
    const std::string sasLarge = root() + "/sas-large.bin";
    const std::string sataLarge = root() + "/sata-large.bin";
    file("sas-large.bin", "x");
    file("sata-large.bin", "x");
    std::filesystem::resize_file(sasLarge, 0x1000000 + 1);
    std::filesystem::resize_file(sataLarge, (0x10000 + 1) * 512);
    struct Case {
        const char* name;
        bool sata;
        std::string path;
        unsigned long chunk;
        int signedValue;
    } cases[] = {
        {"missing file", true, root() + "/missing.bin", 512, 0},
        {"directory", false, root() + "/folder", 512, 0},
        {"empty file", false, root() + "/empty.bin", 512, 0},
        {"SATA image under one block", true, small, 512, 300},
        {"SATA chunk under one block", true, image, 511, 511},
        {"SATA chunk of no size", true, image, 0, 0},
        {"SAS chunk of no size", false, image, 0, 0},
        {"SATA chunk beyond the count field", true, image, 0x10000 * 512, 0x10000 * 512},
        {"SAS chunk beyond the length field", false, image, 0x1000000, 0x1000000},
        {"SAS image beyond the offset field", false, sasLarge, 0x10000, 0x1000000 + 1},
        {"SATA image beyond the offset field", true, sataLarge, 512, (0x10000 + 1) * 512},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        VynHardDrive* drive = addDrive(k.sata);
        script(k.sata, {});
        const unsigned before = errorCount("*** Bad Parameter: ");
        const Ret ret = download(drive, k.sata, k.path, k.chunk, 3);
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(ret.getSignedReturn(), k.signedValue);
        EXPECT_TRUE(chunks().empty());
        EXPECT_GT(errorCount("*** Bad Parameter: "), before) << errorLog();
        channel->deleteChild(drive);
    }
}

TEST_F(VynDriveFirmwareTest, AReadThatFailsLeavesNoImageBehind)
{
    VynHardDrive* drive = addDrive(true);
    const std::string path = file("image.bin", imageOf(1024));
    ASSERT_EQ(drive->readDriveFirmwareFile(path.c_str(), *drive->getImageBuffer()), Ret());
    EXPECT_EQ(drive->getImageBuffer()->Size(), 1024u);

    // A sysfs attribute claims a page and reads a few bytes: what was not
    // read must not be flashed.
    const char* const shortFile = "/sys/devices/system/cpu/online";
    if (std::filesystem::exists(shortFile) && std::filesystem::file_size(shortFile) == 4096) {
        const Ret ret = drive->readDriveFirmwareFile(shortFile, *drive->getImageBuffer());
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(drive->getImageBuffer()->Size(), 0u);
    }
    // A failed read of the drive's own image forgets the earlier file, so
    // the next download reads it again.
    ASSERT_EQ(drive->readDriveFirmwareFile(path.c_str(), *drive->getImageBuffer()), Ret());
    EXPECT_EQ(drive->readDriveFirmwareFile((root() + "/missing").c_str(), *drive->getImageBuffer()).getReturn(), -2);
    fsa.scriptAlways("FsaSendScsiCommand", 1, kGood);
    file("image.bin", imageOf(2048));
    ASSERT_EQ(download(drive, true, path, 512, 3), Ret());
    EXPECT_EQ(chunks().size(), 4u);
}

TEST_F(VynDriveFirmwareTest, WrongInterfacesAndIdentifyBoundsSendNothing)
{
    VynHardDrive* sas = addDrive(false);
    const std::string path = file("image.bin", imageOf(512));
    unsigned long word = 0x1234;
    struct Case {
        const char* name;
        std::function<Ret()> run;
        int code;
        int value;
        const char* record;
    } cases[] = {
        {"identify on SAS", [&] { return sas->GetSataIdentifyWord(80, &word); }, -1, 0,
         "*** Not Supported: Hard drive is not SATA, value=0 ***"},
        {"SATA download on SAS", [&] { return sas->upgradeSATADriveFirmware(path.c_str(), 512, 3); }, -1, 4,
         "*** Not Supported: Hard drive is not SATA, value=4 ***"},
        {"null word", [&] { return sas->GetSataIdentifyWord(80, nullptr); }, -2, 0,
         "*** Bad Parameter: *word is NULL, paramValue=0 ***"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        fsa.clearCalls();
        const unsigned before = errorCount(k.record);
        const Ret ret = k.run();
        EXPECT_EQ(ret.getReturn(), k.code);
        EXPECT_EQ(ret.getSignedReturn(), k.value);
        EXPECT_GT(errorCount(k.record), before) << errorLog();
        EXPECT_EQ(fsa.count("FsaSendScsiCommand"), 0u);
    }
    channel->deleteChild(sas);

    VynHardDrive* sata = addDrive(true);
    fsa.clearCalls();
    Ret ret = sata->upgradeSASDriveFirmware(path.c_str(), 512, 7);
    EXPECT_EQ(ret.getReturn(), -1);
    EXPECT_EQ(ret.getSignedReturn(), 1);
    EXPECT_EQ(errorCount("*** Not Supported: Hard drive is not SAS, value=1 ***"), 1u);
    ret = sata->GetSataIdentifyWord(256, &word);
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(ret.getSignedReturn(), 256);
    EXPECT_EQ(fsa.count("FsaSendScsiCommand"), 0u);
    EXPECT_EQ(word, 0x1234u);

    // Word 255 is the last of the data, little-endian; the command is
    // IDENTIFY DEVICE in ATA PASS-THROUGH (12).
    Bytes reply = kGood;
    reply.resize(8 + ScriptedFsaExports::kScsiSenseBytes + 512, 0);
    reply[reply.size() - 2] = 0xA5;
    reply[reply.size() - 1] = 0x5A;
    fsa.script("FsaSendScsiCommand", 1, reply);
    ASSERT_EQ(sata->GetSataIdentifyWord(255, &word), Ret());
    EXPECT_EQ(word, 0x5AA5u);
    EXPECT_EQ(fsa.sent("FsaSendScsiCommand").back().bytes,
              (Bytes{0xA1, 0x08, 0x0E, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEC, 0x00, 0x00}));
    // A failed read leaves the word alone.
    fsa.script("FsaSendScsiCommand", 9);
    EXPECT_EQ(sata->GetSataIdentifyWord(0, &word).getReturn(), -5);
    EXPECT_EQ(word, 0x5AA5u);
}

// The drives of a simulated controller, their IDENTIFY words and the images
// their downloads stage.
class VynDriveFirmwareSimTest : public vyntest::FamilyTest {
protected:
    void start(const std::string& drives)
    {
        startController("adapter0.bus0 = sas 16\n" + drives);
        adapter = openController();
        Ret ret;
        adapter->buildChildren(ret);
        ASSERT_EQ(ret, Ret());
    }
    VynHardDrive* drive(unsigned target)
    {
        for (unsigned long i = 0; i < adapter->getNumHardDrives(); ++i) {
            HardDrive* d = adapter->getHardDrive(i);
            if (d != nullptr && d->getDeviceID() == target)
                return static_cast<VynHardDrive*>(d);
        }
        ADD_FAILURE() << "no drive " << target;
        return nullptr;
    }
    std::string staged(const std::string& key)
    {
        const Bytes image = vyn::hostsim::stagedImage(sim().controller(0), key);
        return std::string(image.begin(), image.end());
    }
    std::string file(const std::string& name, const std::string& content)
    {
        const std::string path = root() + "/" + name;
        vyntest::writeFile(path, content);
        return path;
    }

    TreePtr<VynAdapter> adapter;
};

TEST_F(VynDriveFirmwareSimTest, IdentifyWordsComeFromTheDrive)
{
    start("adapter0.drive0 = 0:2 sata 500G identify.word80=0x00F0 identify.word120=0x4000\n"
          "adapter0.drive1 = 0:3 ssd 120G\n");
    VynHardDrive* plain = drive(2);
    VynHardDrive* current = drive(3);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(current, nullptr);
    unsigned long word = 0;
    ASSERT_EQ(plain->GetSataIdentifyWord(80, &word), Ret());
    EXPECT_EQ(word, 0x00F0u);
    ASSERT_EQ(current->GetSataIdentifyWord(80, &word), Ret());
    EXPECT_EQ(word, 0x01F0u);
    ASSERT_EQ(current->GetSataIdentifyWord(120, &word), Ret());
    EXPECT_EQ(word, 0x4010u);

    // What a drive supports is only noted; the download goes on either way.
    const std::string path = file("image.bin", imageOf(1024));
    ASSERT_EQ(plain->upgradeSATADriveFirmware(path.c_str(), 512, 3), Ret()) << errorLog();
    EXPECT_EQ(errorCount("ATA 8 is supported"), 0u);
    ASSERT_EQ(current->upgradeSATADriveFirmware(path.c_str(), 512, 3), Ret()) << errorLog();
    EXPECT_EQ(errorCount("*** Bad Parameter: ATA 8 is supported, paramValue=496 ***"), 1u);
    EXPECT_EQ(errorCount("*** Bad Parameter: Mode 3 is supported, paramValue=16400 ***"), 1u);
}

TEST_F(VynDriveFirmwareSimTest, TheChunksBecomeTheDrivesStagedImage)
{
    start("adapter0.drive0 = 0:2 sata 500G\nadapter0.drive1 = 0:4 sas 146G\n"
          // The SAS drive is not ready for its second chunk, once.
          "adapter0.fault0.on = cdb 0x3b\nadapter0.fault0.sense = 2/4/1\nadapter0.fault0.skip = 1\n");
    const std::string image = imageOf(5000);
    const std::string path = file("image.bin", image);
    // A chunk size that is no whole number of blocks sends whole blocks, each
    // from its own place in the image.
    ASSERT_EQ(drive(2)->upgradeSATADriveFirmware(path.c_str(), 1000, 3), Ret()) << errorLog();
    EXPECT_EQ(staged("drive0"), image.substr(0, 9 * 512));

    // The drive's generic node carries no SCSI status: the not-ready answer
    // is a refusal, and the drive keeps the chunk it took.
    EXPECT_EQ(drive(4)->upgradeSASDriveFirmware(path.c_str(), 2048, 7).getReturn(), 6);
    EXPECT_EQ(staged("drive1"), image.substr(0, 2048));
    // The next download starts again at offset 0.
    ASSERT_EQ(drive(4)->upgradeSASDriveFirmware(path.c_str(), 2048, 7), Ret()) << errorLog();
    EXPECT_EQ(staged("drive1"), image);

    // Another image replaces it.
    const std::string next = imageOf(1536).replace(0, 4, "NEXT");
    const std::string nextPath = file("next.bin", next);
    ASSERT_EQ(drive(4)->upgradeSASDriveFirmware(nextPath.c_str(), 1024, 7), Ret()) << errorLog();
    EXPECT_EQ(staged("drive1"), next);
}

TEST_F(VynDriveFirmwareSimTest, AChunkThatDoesNotContinueTheImageIsRefused)
{
    start("adapter0.drive0 = 0:4 sas 146G\n");
    VynHardDrive* d = drive(4);
    ASSERT_NE(d, nullptr);
    uint8_t data[16] = {1, 2, 3};
    Buffer out(sizeof data, data);
    // WRITE BUFFER at offset 16 of an image that has no byte yet.
    SCSICommand command;
    command.initWriteBuffer(7, sizeof data);
    command.getScsiCmd()->Ptr()[5] = 16;
    command.setWriteData(out);
    ASSERT_EQ(d->scsiPassThruCommand(command), Ret());
    // CHECK CONDITION, ILLEGAL REQUEST.
    EXPECT_EQ(command.getSrbStatus(), 4);
    EXPECT_EQ(command.getSenseData().Ptr()[2] & 0x0F, 5);
    EXPECT_EQ(staged("drive0"), "");
}

// vynconf IMAGEUPDATE over the built-in controller: the next process sees
// the image the drive staged.
class VynDriveFirmwareEndToEndTest : public vyntest::HostRootTest {};

TEST_F(VynDriveFirmwareEndToEndTest, ImageUpdateStagesTheImageOnTheDrive)
{
    struct Case {
        const char* kind;
        const char* target;
        const char* key;
    } cases[] = {{"SATA", "6", "drive6"}, {"SAS", "4", "drive4"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.kind);
        const std::string image = imageOf(3 * 4096);
        const std::string path = root() + "/" + k.key + ".lod";
        vyntest::writeFile(path, image);
        const vyntest::ProgramRun update = vyntest::runVynconf(
            VYNCONF_PATH, root(), "default",
            {"IMAGEUPDATE", "1", "DEVICE", "0", k.target, "4096", path, "noquiesce", "noprompt"});
        EXPECT_EQ(update.exitCode, 0) << update.output << update.error;
        EXPECT_NE(update.output.find("Succeeded\n"), std::string::npos) << update.output;
        EXPECT_NE(update.output.find("Command completed successfully."), std::string::npos) << update.output;

        // The state file carries the drive's staged image.
        const std::string state = vyntest::readFile(root() + "/var/lib/hostsim/adapter0.state");
        std::string hex;
        for (unsigned char c : image) {
            static const char digits[] = "0123456789ABCDEF";
            hex += digits[c >> 4];
            hex += digits[c & 0x0F];
        }
        EXPECT_NE(state.find("staged=" + hex), std::string::npos) << k.key;
    }
}

}  // namespace
