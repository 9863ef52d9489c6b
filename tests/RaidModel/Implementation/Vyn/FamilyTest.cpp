#include "FamilyTest.h"

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_enum.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/StorDebug.h"

#include <cwchar>
#include <vector>

namespace vyntest {

namespace {

FSA_STATUS keepRecords(FSA_STATUS status, _tagFSA_ADAPTER_ENUM_INFO* info, void* context)
{
    if (status == 1 && info != nullptr)
        static_cast<std::vector<_tagFSA_ADAPTER_ENUM_INFO>*>(context)->push_back(*info);
    return 1;
}

}  // namespace

void FamilyTest::SetUp()
{
    SimulatorTest::SetUp();
    UtilFreeHandleResources();
    writeFile(hostFile("/var/log/vynerror.txt"), "");
    writeFile(hostFile("/var/log/vyntrace.txt"), "");
    doStorDebugInitialization(STORLIB_TYPE_VYN);
}

void FamilyTest::TearDown()
{
    StorDebugDeleteAll();
    SimulatorTest::TearDown();
}

void FamilyTest::startController(const std::string& extra)
{
    startSimulator("adapters = 1\nhostsim.persist = 0\n" + extra);
    sim().setSleepScale(0);
}

_tagFSA_ADAPTER_ENUM_INFO FamilyTest::firstRecord()
{
    std::vector<_tagFSA_ADAPTER_ENUM_INFO> records;
    FsaEnumAdaptersA(nullptr, "", &records, keepRecords);
    EXPECT_FALSE(records.empty());
    return records.empty() ? craftedRecord() : records.front();
}

_tagFSA_ADAPTER_ENUM_INFO FamilyTest::craftedRecord(uint32_t availability, const wchar_t* typeText, uint32_t oem)
{
    _tagFSA_ADAPTER_ENUM_INFO r = {};
    std::wcsncpy(r.adapterName, L"ulb0", 16);
    std::wcsncpy(r.adapterTypeText, typeText, 18);
    r.availability = availability;
    r.oemId = oem;
    r.serialNumber[0] = 0x30315356;
    r.serialNumber[1] = 1;
    r.maxPorts = 16;
    r.pcbaSerialNumber = 0xFFFFFFFFu;
    return r;
}

TreePtr<VynAdapter> FamilyTest::openController(Ret* ret)
{
    const _tagFSA_ADAPTER_ENUM_INFO record = firstRecord();
    return TreePtr<VynAdapter>(new VynAdapter(&record, nullptr, 0, nullptr, ret));
}

void TreeDeleter::operator()(RaidObject* node) const
{
    if (node == nullptr)
        return;
    node->deleteAllChildren();
    delete node;
}

std::string FamilyTest::errorLog() const { return readFile(hostFile("/var/log/vynerror.txt")); }

std::string FamilyTest::traceLog() const { return readFile(hostFile("/var/log/vyntrace.txt")); }

unsigned FamilyTest::errorCount(const std::string& text) const
{
    const std::string log = errorLog();
    unsigned n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size()))
        ++n;
    return n;
}

}  // namespace vyntest
