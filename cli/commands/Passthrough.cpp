#include "cli/commands/Passthrough.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/CommandHelpers.h"
#include "cli/commands/MaintenanceSupport.h"
#include "common/Addr.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kKeyword = "PASSTHROUGH";

bool isWrite(int direction)
{
    return direction == Passthrough::Write || direction == Passthrough::WriteWithSense;
}

bool isRead(int direction)
{
    return direction == Passthrough::Read || direction == Passthrough::ReadWithSense;
}

bool wantsSense(int direction)
{
    return direction == Passthrough::WriteWithSense || direction == Passthrough::ReadWithSense ||
           direction == Passthrough::NoTransferWithSense;
}

bool isNoTransfer(int direction)
{
    return direction == Passthrough::NoTransfer || direction == Passthrough::NoTransferWithSense;
}

bool readDirectionWord(const char* word, Passthrough::Direction& direction)
{
    static const struct {
        const char* word;
        Passthrough::Direction direction;
    } words[] = {
        {"read", Passthrough::Read},
        {"readwithsense", Passthrough::ReadWithSense},
        {"write", Passthrough::Write},
        {"writewithsense", Passthrough::WriteWithSense},
        {"notransfer", Passthrough::NoTransfer},
        {"notransferwithsense", Passthrough::NoTransferWithSense},
    };
    for (const auto& entry : words) {
        if (strcasecmp(word, entry.word) == 0) {
            direction = entry.direction;
            return true;
        }
    }
    return false;
}

// Big-endian CDB field of `count` bytes from `first`; bytes past the typed
// block read as 0.
std::uint64_t field(const Buffer& cdb, unsigned long first, unsigned long count)
{
    std::uint64_t value = 0;
    for (unsigned long i = first; i < first + count; ++i)
        value = (value << 8) | (i < cdb.Size() ? cdb.getByte(i) : 0u);
    return value;
}

// What a known operation code implies: its direction and where its transfer
// length stands (big-endian bytes `first` .. `first + count - 1`, in blocks
// of 512 bytes when `blocks`), or a fixed length when `count` is 0.
struct Inference {
    unsigned char code;
    Passthrough::Direction direction;
    unsigned first;
    unsigned count;
    bool blocks;
    std::uint64_t fixed;
};

constexpr Passthrough::Direction kIn = Passthrough::Read;
constexpr Passthrough::Direction kOut = Passthrough::Write;
constexpr Passthrough::Direction kNone = Passthrough::NoTransfer;

const Inference kInferences[] = {
    {0x00, kNone, 0, 0, false, 0}, {0x1B, kNone, 0, 0, false, 0},
    {0x08, kIn, 4, 1, true, 0},    {0x0A, kOut, 4, 1, true, 0},
    {0x03, kIn, 4, 1, false, 0},   {0x1A, kIn, 4, 1, false, 0},   {0x15, kOut, 4, 1, false, 0},
    {0x12, kIn, 3, 2, false, 0},   {0x1C, kIn, 3, 2, false, 0},   {0x1D, kOut, 3, 2, false, 0},
    {0x28, kIn, 7, 2, true, 0},    {0x2A, kOut, 7, 2, true, 0},   {0x2E, kOut, 7, 2, true, 0},
    {0x4D, kIn, 7, 2, false, 0},   {0x5A, kIn, 7, 2, false, 0},   {0x5E, kIn, 7, 2, false, 0},
    {0x4C, kOut, 7, 2, false, 0},  {0x55, kOut, 7, 2, false, 0},  {0x5F, kOut, 7, 2, false, 0},
    {0x3C, kIn, 6, 3, false, 0},   {0x3B, kOut, 6, 3, false, 0},
    {0x25, kIn, 0, 0, false, 8},
    {0xA0, kIn, 6, 4, false, 0},   {0xA8, kIn, 6, 4, true, 0},
    {0xAA, kOut, 6, 4, true, 0},   {0xAE, kOut, 6, 4, true, 0},
    {0x85, kOut, 6, 1, true, 0},
};

// The direction and the bytes a known operation code implies, computed in
// 64 bits so that no 4-byte count of blocks wraps; false for an operation
// code the table does not know.
bool inferTransfer(const Buffer& cdb, Passthrough::Direction& direction, std::uint64_t& length)
{
    constexpr std::uint64_t block = 512;
    const unsigned char code = cdb.getByte(0);
    for (const Inference& known : kInferences) {
        if (known.code != code)
            continue;
        direction = known.direction;
        std::uint64_t units = known.count > 0 ? field(cdb, known.first, known.count) : known.fixed;
        // READ(6) and WRITE(6) count 0 as 256 blocks.
        if ((code == 0x08 || code == 0x0A) && units == 0)
            units = 256;
        length = known.blocks ? units * block : units;
        return true;
    }
    return false;
}

// One typed byte: hex digits only, the low 8 bits kept.
bool readByte(const char* text, std::size_t length, unsigned char& byte)
{
    char digits[32];
    if (length == 0 || length >= sizeof digits)
        return false;
    std::memcpy(digits, text, length);
    digits[length] = '\0';
    const int value = asciiHex2int(digits);
    if (value == CLI_NAN)
        return false;
    byte = static_cast<unsigned char>(value & 0xFF);
    return true;
}

// The bracketed block from argv[*word]; on success *word is the word after
// the one holding ']'.
bool readCommandBlock(char** argv, int argc, int& word, Buffer& cdb)
{
    const char* open = argv[word];
    if (open[0] != '[' || std::strchr(open, ']') != nullptr)
        return false;
    unsigned char bytes[Passthrough::MAX_CDB];
    unsigned long count = 0;
    if (open[1] != '\0') {
        if (!readByte(open + 1, std::strlen(open + 1), bytes[count]))
            return false;
        ++count;
    }
    for (++word; word < argc; ++word) {
        const char* text = argv[word];
        const char* close = std::strchr(text, ']');
        const std::size_t length = close != nullptr ? static_cast<std::size_t>(close - text) : std::strlen(text);
        if (close != nullptr && length == 0)
            break;
        if (count == Passthrough::MAX_CDB)
            return false;
        // Before the bracket only the last two characters count.
        const char* digits = close != nullptr && length > 2 ? close - 2 : text;
        if (!readByte(digits, close != nullptr && length > 2 ? 2 : length, bytes[count]))
            return false;
        ++count;
        if (close != nullptr)
            break;
    }
    if (word >= argc || count == 0)
        return false;
    ++word;
    cdb = Buffer(count, bytes);
    return cdb.Size() == count;
}

}  // namespace

int Passthrough::loadArguments(char** argv, int argc, StorLibPlugin* lib)
{
    direction = Read;
    transferLength = 0;
    senseSize = 0;
    fileName[0] = '\0';
    command.Clear();
    if (argc < 7 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    const int typedChannel = ascii2int(argv[3]);
    const int typedDevice = ascii2int(argv[4]);
    if (typedChannel == CLI_NAN || typedDevice == CLI_NAN)
        return 3;
    channel = typedChannel;
    device = typedDevice;
    if (UCLI_DEBUG) {
        myprintf(stderr, "%s: adapter: %d\n", kKeyword, adapterNumber);
        myprintf(stderr, "%s: channel: %d\n", kKeyword, channel);
        myprintf(stderr, "%s: device: %d\n", kKeyword, device);
    }

    int word = 5;
    const bool directionTyped = readDirectionWord(argv[word], direction);
    if (directionTyped)
        ++word;
    std::uint64_t length = 0;
    const bool lengthTyped = word < argc && readDecimalU64(argv[word], length);
    if (lengthTyped)
        ++word;
    if (word >= argc || !readCommandBlock(argv, argc, word, command))
        return 3;

    Direction implied = Read;
    std::uint64_t inferred = 0;
    const bool known = inferTransfer(command, implied, inferred);
    if (!known && !directionTyped)
        return 3;
    if (!directionTyped)
        direction = implied;
    if (!known && !lengthTyped && !isNoTransfer(direction))
        return 3;
    if (!lengthTyped)
        length = isNoTransfer(direction) ? 0 : inferred;
    if (length > MAX_TRANSFER)
        return 3;
    transferLength = static_cast<int>(length);
    if (UCLI_DEBUG) {
        myprintf(stderr, "%s: direction: %d\n", kKeyword, static_cast<int>(direction));
        myprintf(stderr, "%s: overridden length: %d\n", kKeyword, transferLength);
    }

    if (isWrite(direction)) {
        if (word >= argc)
            return 3;
        std::snprintf(fileName, sizeof fileName, "%s", argv[word]);
    }
    debugArgumentsValid(kKeyword);
    return 0;
}

int Passthrough::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    PhysicalDevice* target = findAdapter(lib, adapterNumber) != nullptr
                                 ? findDevice(lib, adapterNumber, static_cast<unsigned long>(channel),
                                              static_cast<unsigned long>(device))
                                 : nullptr;
    if (target == nullptr) {
        myprintf(stdout, "The device specified does not exist.\n");
        return 2;
    }

    SCSICommand scsi(command, static_cast<EnumDirection>(direction));
    const unsigned long length = static_cast<unsigned long>(transferLength);
    if (isRead(direction)) {
        data = Buffer(length);
        if (data.Size() > 0)
            std::memset(data.Ptr(), 0, data.Size());
        scsi.setReadData(data);
    }
    if (isWrite(direction)) {
        data = Buffer(length);
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName, "rb"), &std::fclose);
        if (file == nullptr) {
            myprintf(stdout, "Data file not found.\n");
            return 2;
        }
        const std::size_t got = length > 0 ? std::fread(data.Ptr(), 1, data.Size(), file.get()) : 0;
        if (std::ferror(file.get())) {
            myprintf(stdout, "Error reading data file.\n");
            return 2;
        }
        if (got < length) {
            myprintf(stdout, "Insufficient data read from data file.\n");
            return 2;
        }
        myprintf(stdout, "Bytes read from data file: %d\n", static_cast<int>(got));
        scsi.setWriteData(data);
    }
    if (wantsSense(direction)) {
        senseSize = SENSE_SIZE;
        sense = Buffer(static_cast<unsigned long>(senseSize));
        if (sense.Size() > 0)
            std::memset(sense.Ptr(), 0, sense.Size());
        scsi.setSenseData(sense);
    }

    myprintf(stdout, "CDB: ");
    for (unsigned long i = 0; i < command.Size(); ++i)
        myprintf(stdout, "%02X ", command.getByte(i));
    myprintf(stdout, "\n");
    if (isWrite(direction)) {
        myprintf(stdout, "Bytes written to device: %d\n", static_cast<int>(data.Size()));
        printBufferDump(data);
    }

    if (confirmBeforeActing("\nAre you sure you want to continue?\n") == CONFIRMATION_PENDING)
        return CONFIRMATION_PENDING;

    Addr addr(static_cast<std::uint32_t>(adapterNumber));
    addr.setChannelID(static_cast<std::uint32_t>(channel));
    addr.setDeviceID(static_cast<std::uint32_t>(device));
    returnCodes = lib->scsiPassThruCommand(addr, scsi);

    if (isRead(direction)) {
        flushAll();
        myprintf(stdout, "Bytes read from device: %d\n", transferLength);
        printBufferDump(scsi.getReadData());
    }
    if (wantsSense(direction)) {
        myprintf(stdout, "\n");
        flushAll();
        myprintf(stdout, "Sense data bytes from device: %d\n", senseSize);
        printBufferDump(scsi.getSenseData());
    }
    return 5;
}

void Passthrough::displayHelp()
{
    myprintf(stdout, " Usage: PASSTHROUGH <Controller#> <Channel# ID#> <read|notransfer> [length] <[> <CDB> <]>"
                     " [noprompt] [nologs]\n");
    myprintf(stdout, " Usage: PASSTHROUGH <Controller#> <Channel# ID#> <readwithsense|notransferwithsense>"
                     " [length] <[> <CDB> <]> [noprompt] [nologs]\n");
    myprintf(stdout, "        PASSTHROUGH <Controller#> <Channel# ID#> <write> [length] <[> <CDB> <]> <Filename>"
                     " [noprompt]\n");
    myprintf(stdout, "        PASSTHROUGH <Controller#> <Channel# ID#> <writewithsense> [length] <[> <CDB> <]>"
                     " <Filename> [noprompt]\n");
    myprintf(stdout, " Sends a passthrough SCSI command.  The CDB bytes are \n enclosed in square brackets, hex"
                     " encoded, space-delimited,\n and must number 6, 10, or 12 bytes.  Read data may be"
                     " redirected to a\n file.  Write data is taken from the specified file.  Transfers are"
                     " limited\n to 2048 bytes.  Transfer lengths are inferred for common SCSI CDBs but\n may be"
                     " overridden using the length parameter.\n");
    myprintf(stdout, " noprompt    : do not prompt for confirmation\n");
}
