// Discovery of the controllers by the family's root: the enumeration, one
// controller object per record, and the take-over of the open handles of a
// previous tree.
#include "Command/Vyn/common/fa_bytes.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynLib.h"
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <initializer_list>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;

struct Serials {
    uint32_t word0;
    uint32_t word1;
    uint32_t longSerial;
};

class VynSystemTest : public vyntest::FamilyTest {
protected:
    // Enumeration records of the given serial words, one after the other.
    static std::vector<uint8_t> records(std::initializer_list<Serials> serials)
    {
        std::vector<uint8_t> bytes;
        for (const Serials& s : serials) {
            _tagFSA_ADAPTER_ENUM_INFO r = craftedRecord();
            r.serialNumber[0] = s.word0;
            r.serialNumber[1] = s.word1;
            r.pcbaSerialNumber = s.longSerial;
            const uint8_t* raw = reinterpret_cast<const uint8_t*>(&r);
            bytes.insert(bytes.end(), raw, raw + sizeof r);
        }
        return bytes;
    }

    // One open of a controller: the handle, then its general information
    // with the serial words (the long one only when not 0xFFFFFFFF).
    // A null handle scripts the information alone, as read over a handle
    // taken over.
    static void scriptOpen(ScriptedFsaExports& fsa, uintptr_t handle, const Serials& s)
    {
        if (handle != 0) {
            std::vector<uint8_t> h(8, 0);
            faPutLe64(h.data(), handle);
            fsa.script("FsaOpenAdapter2A", 1, h);
        }
        FSA_GENERAL_INFO2 info = {};
        faPutLe32(info.bytes + GI_SERIAL_NUMBER_0, s.word0);
        faPutLe32(info.bytes + GI_SERIAL_NUMBER_1, s.word1);
        if (s.longSerial != 0xFFFFFFFFu) {
            faPutLe32(info.bytes + GI_SUPPORTED_OPTIONS2, 1u << 25);
            faPutLe32(info.bytes + GI_LONG_SERIAL, s.longSerial);
        }
        fsa.script("FsaGetGeneralInformation2Ex", 1,
                   std::vector<uint8_t>(info.bytes, info.bytes + sizeof info.bytes));
    }
};

void* handleValue(uintptr_t value) { return reinterpret_cast<void*>(value); }

TEST_F(VynSystemTest, TwoEnumeratedControllersGiveTwoAdaptersInOrder)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    fsa.script("FsaEnumAdaptersA", 1, records({{0x11, 1, 0xFFFFFFFFu}, {0x22, 1, 0xFFFFFFFFu}}));
    scriptOpen(fsa, 0x100, {0x11, 1, 0xFFFFFFFFu});
    scriptOpen(fsa, 0x200, {0x22, 1, 0xFFFFFFFFu});
    vyntest::TreePtr<VynSystem> system(new VynSystem);
    Ret ret;
    system->buildChildren(nullptr, ret);
    ASSERT_EQ(system->getNumVynAdapters(), 2u);
    EXPECT_EQ(system->getNumAdapters(), 2u);
    for (unsigned long i = 0; i < 2; ++i) {
        EXPECT_EQ(system->getVynAdapter(i)->getAdapterID(), i);
        EXPECT_EQ(system->getVynAdapter(i)->getAdapterHandle(), handleValue(0x100 * (i + 1)));
        EXPECT_EQ(system->getVynAdapter(i)->getSerialNum0(), 0x11u * (i + 1));
    }
    EXPECT_EQ(system->getVynAdapter(system->getNumVynAdapters()), nullptr);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 2u);
}

TEST_F(VynSystemTest, ARefreshTakesOverTheHandlesOfTheSameControllers)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    const auto both = records({{0x11, 1, 0x77}, {0x22, 1, 0x88}});
    fsa.script("FsaEnumAdaptersA", 1, both);
    scriptOpen(fsa, 0x100, {0x11, 1, 0x77});
    scriptOpen(fsa, 0x200, {0x22, 1, 0x88});
    VynLib lib;
    lib.getSystemConfig();
    ASSERT_EQ(lib.getNumVynAdapters(), 2u);
    EXPECT_EQ(lib.getVynAdapter(0)->getLongSerialNum(), 0x77u);

    // The new tree is built while the old one lives: no second open, the
    // old objects leave their handles open when they go.
    fsa.script("FsaEnumAdaptersA", 1, both);
    scriptOpen(fsa, 0, {0x11, 1, 0x77});
    scriptOpen(fsa, 0, {0x22, 1, 0x88});
    lib.getSystemConfig();
    ASSERT_EQ(lib.getNumVynAdapters(), 2u);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 2u);
    EXPECT_EQ(lib.getVynAdapter(0)->getAdapterHandle(), handleValue(0x100));
    EXPECT_EQ(lib.getVynAdapter(1)->getAdapterHandle(), handleValue(0x200));
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 0u);
}

TEST_F(VynSystemTest, PreviousControllersAreMatchedOnTheirSerialWords)
{
    struct Case {
        const char* name;
        Serials before;  // the previous object's general information
        Serials record;  // the new enumeration record
        bool reused;
    };
    const Case cases[] = {
        {"all three words match", {0x11, 1, 0x77}, {0x11, 1, 0x77}, true},
        {"serial word 0 of 0 never matches", {0, 1, 0x77}, {0, 1, 0x77}, false},
        {"word 0 differs", {0x11, 1, 0x77}, {0x12, 1, 0x77}, false},
        {"word 1 differs", {0x11, 1, 0x77}, {0x11, 2, 0x77}, false},
        {"long serial differs", {0x11, 1, 0x77}, {0x11, 1, 0x78}, false},
        {"no long serial: word 0 alone decides", {0x11, 1, 0x77}, {0x11, 9, 0xFFFFFFFFu}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFsaExports fsa;
        fsa.answerUnscripted(31);
        fsa.script("FsaEnumAdaptersA", 1, records({c.before}));
        scriptOpen(fsa, 0x100, c.before);
        VynLib previous;
        previous.getSystemConfig();
        ASSERT_EQ(previous.getNumVynAdapters(), 1u);

        fsa.script("FsaEnumAdaptersA", 1, records({c.record}));
        scriptOpen(fsa, 0x200, c.record);
        const size_t traced = traceLog().size();
        vyntest::TreePtr<VynSystem> system(new VynSystem);
        Ret ret;
        system->buildChildren(&previous, ret);
        ASSERT_EQ(system->getNumVynAdapters(), 1u);
        EXPECT_EQ(previous.getVynAdapter(0)->isReusingFsaHandle(), c.reused);
        EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), c.reused ? 1u : 2u);
        EXPECT_EQ(system->getVynAdapter(0)->getAdapterHandle(), handleValue(c.reused ? 0x100 : 0x200));
        char miss[128];
        std::snprintf(miss, sizeof miss, "Did not find cached adapter object to reuse for serial number:0x%x 0x%x 0x%x",
                      c.record.word0, c.record.word1, c.record.longSerial);
        EXPECT_EQ(traceLog().find(miss, traced) != std::string::npos, !c.reused) << miss;
    }
}

TEST_F(VynSystemTest, WithoutControllersTheTreeIsEmptyAndTheCountReportsTheWalk)
{
    ScriptedFsaExports fsa;
    fsa.script("FsaEnumAdaptersA", 4);
    vyntest::TreePtr<VynSystem> system(new VynSystem);
    Ret ret;
    system->buildChildren(nullptr, ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(system->getChildCount(), 0u);
    EXPECT_EQ(system->getVynAdapter(0), nullptr);

    // Counting accepts nothing but success, and still returns the count.
    fsa.script("FsaEnumAdaptersA", 4);
    Ret count;
    EXPECT_EQ(system->getControllerCount(nullptr, count), 0);
    EXPECT_EQ(count.getReturn(), -5);
    EXPECT_EQ(count.getAPIReturn(), 4u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaEnumAdapters() fsaStatus=4 ***"), 1u);

    fsa.script("FsaEnumAdaptersA", 1, records({{1, 1, 1}, {2, 1, 1}, {3, 1, 1}}));
    Ret three;
    EXPECT_EQ(system->getControllerCount(nullptr, three), 3);
    EXPECT_EQ(three, Ret());
}

TEST_F(VynSystemTest, AFailedWalkStillBuildsWhatItCollected)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    fsa.script("FsaEnumAdaptersA", 9, records({{0x11, 1, 0xFFFFFFFFu}}));
    scriptOpen(fsa, 0x100, {0x11, 1, 0xFFFFFFFFu});
    vyntest::TreePtr<VynSystem> system(new VynSystem);
    Ret ret;
    system->buildChildren(nullptr, ret);
    EXPECT_EQ(system->getNumVynAdapters(), 1u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaEnumAdapters fsaStatus=9 ***"), 1u);
}

TEST_F(VynSystemTest, ASingleControllerIsBuiltByItsPosition)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    const auto two = records({{0x11, 1, 0xFFFFFFFFu}, {0x22, 1, 0xFFFFFFFFu}});
    fsa.script("FsaEnumAdaptersA", 4, two);
    scriptOpen(fsa, 0x200, {0x22, 1, 0xFFFFFFFFu});
    vyntest::TreePtr<VynSystem> system(new VynSystem);
    Ret ret;
    system->buildChildrenForSingleAdapter(nullptr, 1, ret);
    ASSERT_EQ(system->getNumVynAdapters(), 1u);
    EXPECT_EQ(system->getVynAdapter(0)->getAdapterID(), 1u);
    EXPECT_EQ(system->getVynAdapter(0)->getSerialNum0(), 0x22u);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 1u);

    // An index equal to the number of controllers is a bad parameter.
    fsa.script("FsaEnumAdaptersA", 1, two);
    vyntest::TreePtr<VynSystem> none(new VynSystem);
    Ret bad;
    none->buildChildrenForSingleAdapter(nullptr, 2, bad);
    EXPECT_EQ(bad.getReturn(), -2);
    EXPECT_EQ(bad.getSignedReturn(), 2);
    EXPECT_EQ(none->getChildCount(), 0u);
    EXPECT_EQ(errorCount("*** Bad Parameter: buildChildrenForSingleAdapter(StorLib *pStorLibIN, ULONG indexIN, "
                         "Ret & retOUT) - invalid indexIN specified, paramValue=2 ***"),
              1u);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 1u);
}

TEST_F(VynSystemTest, SwitchingTheDebugLogsOffReportsAFailure)
{
    ScriptedFsaExports fsa;
    fsa.script("FsaDisableDebugLogs", 1);
    fsa.script("FsaDisableDebugLogs", 7);
    VynSystem system;
    Ret ok;
    system.disableDebugLogging(ok);
    EXPECT_EQ(ok, Ret());
    Ret failed;
    system.disableDebugLogging(failed);
    EXPECT_EQ(failed.getAPIReturn(), 7u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaDisableDebugLogs fsaStatus=7 ***"), 1u);
    EXPECT_EQ(fsa.count("FsaDisableDebugLogs"), 2u);
}

}  // namespace
