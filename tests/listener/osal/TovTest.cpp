#include "listener/osal/Tov.h"
#include "support/HostRootTest.h"
#include "support/ScopedTimeZone.h"

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using vyntest::ScopedTimeZone;

TEST(TovEvent, SetsBeforeTheWaitAreCounted)
{
    TovEventHandle event = nullptr;
    ASSERT_EQ(TovCreateEvent(&event, "", 0), 0u);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(TovSetEvent(event), 0u);
    EXPECT_EQ(TovSetEvent(event), 0u);
    // Checked before waiting, so that an event that lost a set fails here
    // instead of blocking the second wait for ever.
    int count = 0;
    ASSERT_EQ(sem_getvalue(static_cast<sem_t*>(event), &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(TovWaitOnEvent(event), 0u);
    EXPECT_EQ(TovWaitOnEvent(event), 0u);
    EXPECT_EQ(TovDestroyEvent(&event), 0u);
    EXPECT_EQ(event, nullptr);
}

TEST(TovEvent, WaitBlocksUntilAnotherThreadSets)
{
    TovEventHandle event = nullptr;
    ASSERT_EQ(TovCreateEvent(&event, "", 0), 0u);
    std::atomic<bool> woke{false};
    struct Ctx {
        TovEventHandle event;
        std::atomic<bool>* woke;
    } ctx{event, &woke};
    TovThreadHandle waiter = TovThreadCreate(
        [](void* p) -> void* {
            auto* c = static_cast<Ctx*>(p);
            TovWaitOnEvent(c->event);
            c->woke->store(true);
            return nullptr;
        },
        &ctx);
    ASSERT_NE(waiter, nullptr);
    struct timespec pause = {0, 50 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    EXPECT_FALSE(woke.load());
    TovSetEvent(event);
    EXPECT_EQ(TovWaitForThreadTerminate(waiter), 0u);
    EXPECT_TRUE(woke.load());
    std::free(waiter);
    TovDestroyEvent(&event);
}

TEST(TovEvent, NullArgumentsFail)
{
    EXPECT_EQ(TovCreateEvent(nullptr, "", 0), 1u);
    EXPECT_EQ(TovSetEvent(nullptr), 1u);
    EXPECT_EQ(TovWaitOnEvent(nullptr), 1u);
    EXPECT_EQ(TovDestroyEvent(nullptr), 1u);
    TovEventHandle none = nullptr;
    EXPECT_EQ(TovDestroyEvent(&none), 1u);
}

TEST(TovMutex, IsRecursiveAndRejectsNull)
{
    TovMutexHandle mutex = TovMutexInit();
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(TovMutexLock(mutex), 0u);
    EXPECT_EQ(TovMutexLock(mutex), 0u);
    EXPECT_EQ(TovMutexUnlock(mutex), 0u);
    EXPECT_EQ(TovMutexUnlock(mutex), 0u);
    EXPECT_EQ(TovMutexDelete(&mutex), 0u);
    EXPECT_EQ(mutex, nullptr);

    EXPECT_EQ(TovMutexLock(nullptr), 3u);
    EXPECT_EQ(TovMutexUnlock(nullptr), 3u);
    EXPECT_EQ(TovMutexDelete(&mutex), 3u);
    EXPECT_EQ(TovMutexDelete(nullptr), 3u);
}

TEST(TovMutex, ExcludesAnotherThreadWhileHeld)
{
    TovMutexHandle mutex = TovMutexInit();
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(TovMutexLock(mutex), 0u);
    TovThreadHandle other = TovThreadCreate(
        [](void* m) -> void* {
            const int busy = pthread_mutex_trylock(static_cast<pthread_mutex_t*>(m));
            return reinterpret_cast<void*>(static_cast<intptr_t>(busy));
        },
        mutex);
    ASSERT_NE(other, nullptr);
    void* result = nullptr;
    ASSERT_EQ(pthread_join(*static_cast<pthread_t*>(other), &result), 0);
    EXPECT_EQ(reinterpret_cast<intptr_t>(result), EBUSY);
    std::free(other);
    TovMutexUnlock(mutex);
    TovMutexDelete(&mutex);
}

TEST(TovThread, JoinsWithZeroAndRunsOnATenMebibyteStack)
{
    std::size_t stack = 0;
    TovThreadHandle thread = TovThreadCreate(
        [](void* p) -> void* {
            pthread_attr_t attr;
            if (pthread_getattr_np(pthread_self(), &attr) == 0) {
                pthread_attr_getstacksize(&attr, static_cast<std::size_t*>(p));
                pthread_attr_destroy(&attr);
            }
            return nullptr;
        },
        &stack);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(TovWaitForThreadTerminate(thread), 0u);
    EXPECT_EQ(stack, TOV_THREAD_STACK_SIZE);
    std::free(thread);
    EXPECT_EQ(TovThreadCreate(nullptr, nullptr), nullptr);
    EXPECT_EQ(TovWaitForThreadTerminate(nullptr), 1u);
}

TEST(TovThread, ExitFreesTheGivenBlock)
{
    TovThreadHandle thread = TovThreadCreate(
        [](void*) -> void* { TovThreadExit(std::malloc(64)); },
        nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(TovWaitForThreadTerminate(thread), 0u);
    std::free(thread);
}

TEST(TovTime, FormatedTimeUnderUtc)
{
    ScopedTimeZone utc("UTC");
    char text[32];
    EXPECT_EQ(TovGetFormatedTime(0, 0, text, sizeof text), 1u);
    EXPECT_EQ(TovGetFormatedTime(1000, 0, nullptr, sizeof text), 1u);
    EXPECT_EQ(TovGetFormatedTime(1000, 0, text, 24), 1u);
    ASSERT_EQ(TovGetFormatedTime(1000, 0, text, sizeof text), 0u);
    EXPECT_STREQ(text, "01/01/1970 00:00:01");

    // 2026-12-09 09:35:44 UTC, split into its two halves.
    const uint64_t ms = 1796808944ull * 1000ull;
    ASSERT_EQ(TovGetFormatedTime(static_cast<uint32_t>(ms), static_cast<uint32_t>(ms >> 32), text, 25), 0u);
    EXPECT_STREQ(text, "12/09/2026 09:35:44");
}

TEST(TovTime, TimeInTmChecksTheYearRange)
{
    ScopedTimeZone utc("UTC");
    struct tm fields;
    EXPECT_EQ(TovGetTimeInTM(1000, 0, &fields), 0u);
    EXPECT_EQ(fields.tm_year, 70);
    EXPECT_EQ(fields.tm_sec, 1);
    // One second before 1970 lies outside the accepted years.
    const int64_t before = -1000;
    EXPECT_EQ(TovGetTimeInTM(static_cast<uint32_t>(before), static_cast<uint32_t>(static_cast<uint64_t>(before) >> 32), &fields), 1u);
    EXPECT_EQ(TovGetTimeInTM(1000, 0, nullptr), 1u);
}

TEST(TovTime, TimeZoneIsTheOffsetInMinutes)
{
    struct Case {
        const char* zone;
    };
    for (const Case& c : {Case{"UTC"}, Case{"Asia/Kolkata"}, Case{"America/Los_Angeles"}, Case{"Europe/Berlin"},
                          Case{"Australia/Adelaide"}}) {
        ScopedTimeZone zone(c.zone);
        const time_t now = std::time(nullptr);
        struct tm local;
        localtime_r(&now, &local);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%+04ld", local.tm_gmtoff / 60);
        char text[TOV_TIME_ZONE_SIZE];
        ASSERT_EQ(TovGetTimeZone(text), 0u) << c.zone;
        EXPECT_STREQ(text, expected) << c.zone;
    }
    ScopedTimeZone utc("UTC");
    char text[TOV_TIME_ZONE_SIZE];
    ASSERT_EQ(TovGetTimeZone(text), 0u);
    EXPECT_STREQ(text, "+000");
    EXPECT_EQ(TovGetTimeZone(nullptr), 1u);
}

TEST(TovTime, SystemTimeIsFilledFromNow)
{
    TovSystemTime st;
    std::memset(&st, 0xFF, sizeof st);
    ASSERT_EQ(TovGetSystemTime(&st), 0u);
    EXPECT_EQ(st.milliseconds, 0u);
    EXPECT_LE(st.month, 11u);
    EXPECT_LE(st.dayOfWeek, 6u);
    EXPECT_GE(st.year, 120u);
}

TEST(TovHost, AddressRecordIsNeverOverrun)
{
    // The record sits between guard bytes; a capacity of one must leave every
    // byte after the first entry untouched even on a host with more interfaces.
    std::vector<unsigned char> space(16 + sizeof(TovHostAddressList) + 16, 0xA5);
    auto* list = reinterpret_cast<TovHostAddressList*>(space.data() + 16);
    std::memset(list, 0, sizeof *list);
    ASSERT_EQ(TovGetHostIPAddress(list, 1), 0u);
    ASSERT_EQ(list->count, 1);
    EXPECT_STREQ(list->address[0], "127.0.0.1");
    for (std::size_t i = 1 + TOV_HOST_ADDRESS_TEXT; i < sizeof *list; ++i)
        ASSERT_EQ(reinterpret_cast<unsigned char*>(list)[i], 0) << "byte " << i;
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(space[i], 0xA5);
        EXPECT_EQ(space[16 + sizeof *list + i], 0xA5);
    }

    // A capacity above the record's own eight entries is held to eight.
    std::memset(list, 0, sizeof *list);
    ASSERT_EQ(TovGetHostIPAddress(list, 1000), 0u);
    EXPECT_GE(list->count, 1);
    EXPECT_LE(list->count, TOV_HOST_ADDRESS_ENTRIES);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(space[16 + sizeof *list + i], 0xA5);
    for (unsigned i = 0; i < list->count; ++i)
        EXPECT_EQ(list->address[i][TOV_HOST_ADDRESS_TEXT - 1], '\0');

    // A full record takes nothing more, even from a host with loopback alone.
    list->count = TOV_HOST_ADDRESS_ENTRIES;
    ASSERT_EQ(TovGetHostIPAddress(list), 0u);
    EXPECT_EQ(list->count, TOV_HOST_ADDRESS_ENTRIES);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(space[16 + sizeof *list + i], 0xA5);
    EXPECT_EQ(TovGetHostIPAddress(nullptr), 1u);
}

TEST(TovHost, UnreadableInterfaceListFailsWithoutEndingTheProcess)
{
    // With no descriptor to spare the interface query cannot open its
    // socket: the caller gets 1 and goes on (its own process, not this one).
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            struct rlimit limit;
            getrlimit(RLIMIT_NOFILE, &limit);
            limit.rlim_cur = 0;
            setrlimit(RLIMIT_NOFILE, &limit);
            TovHostAddressList list;
            std::memset(&list, 0, sizeof list);
            const uint32_t result = TovGetHostIPAddress(&list);
            std::_Exit(result == 1 && list.count == 0 ? 7 : 8);
        },
        ::testing::ExitedWithCode(7), "socket");
}

TEST(TovHost, HostNameOsInfoAndProcessId)
{
    char name[256];
    EXPECT_EQ(TovGetHostName(name, sizeof name), 0u);
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(TovGetProcessId(), static_cast<uint32_t>(getpid()));

    char info[16];
    ASSERT_EQ(TovGetOSInfo(info, sizeof info), 0u);
    EXPECT_EQ(std::strlen(info), sizeof info - 1);
    EXPECT_EQ(std::strncmp(info, "Linux ", 6), 0);
    EXPECT_EQ(TovGetOSInfo(nullptr, 8), 1u);
}

class TovProductVersion : public vyntest::HostRootTest {};

TEST_F(TovProductVersion, ReadsTheFourthLine)
{
    std::filesystem::create_directories(hostFile("/etc/TOV-Dalvenne"));
    char version[64];
    EXPECT_EQ(TovGetProductVersion(version, sizeof version), 1u);

    vyntest::writeFile(hostFile("/etc/TOV-Dalvenne/Pelkira.conf"), "one\ntwo\nthree\n7.2.0 (B31)\nfive\n");
    ASSERT_EQ(TovGetProductVersion(version, sizeof version), 0u);
    EXPECT_STREQ(version, "7.2.0 (B31)");
    ASSERT_EQ(TovGetProductVersion(version, 4), 0u);
    EXPECT_STREQ(version, "7.2");
    EXPECT_EQ(TovGetProductVersion(nullptr, 4), 1u);
}

TEST(TovLibrary, AppendsSoAndResolvesSymbols)
{
    uint32_t error = 7;
    const std::string base = std::string(OSAL_PROBE_DIR) + "/mail";
    TovLibraryHandle lib = TovLoadLibrary(base.c_str(), &error);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_EQ(error, 0u);

    auto* answer = reinterpret_cast<int (*)()>(TovGetFuncAddress(lib, "probeAnswer", &error));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(TovGetFuncAddress(lib, "noSuchSymbol", &error), nullptr);
    EXPECT_EQ(error, 1u);

    EXPECT_EQ(TovUnloadLibrary(&lib), 0u);
    EXPECT_EQ(lib, nullptr);
    EXPECT_EQ(TovUnloadLibrary(&lib), 0u);
    EXPECT_EQ(TovUnloadLibrary(nullptr), 1u);
}

TEST(TovLibrary, RefusesWhatDoesNotFitAndMissingFiles)
{
    struct Case {
        std::string name;
        uint32_t flag;
    };
    const std::string dir = std::string(OSAL_PROBE_DIR) + "/";
    for (const Case& c : {Case{dir + "absent", 1}, Case{std::string(509, 'x'), 1}, Case{std::string(600, 'x'), 1}}) {
        uint32_t error = 7;
        EXPECT_EQ(TovLoadLibrary(c.name.c_str(), &error), nullptr) << c.name.size();
        EXPECT_EQ(error, c.flag) << c.name.size();
    }
    uint32_t error = 7;
    EXPECT_EQ(TovLoadLibrary(nullptr, &error), nullptr);
    EXPECT_EQ(error, 7u);
    EXPECT_EQ(TovGetFuncAddress(nullptr, "x", &error), nullptr);
    EXPECT_EQ(error, 7u);
}

TEST(TovEnvironment, GetenvHonoursTheBuffer)
{
    ::setenv("TOV_TEST_VALUE", "/opt/vyn/", 1);
    char buffer[16];
    EXPECT_EQ(TovGetenv("TOV_TEST_VALUE", sizeof buffer, buffer), 0u);
    EXPECT_STREQ(buffer, "/opt/vyn/");

    char small[9];
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(TovGetenv("TOV_TEST_VALUE", sizeof small, small), 1u);
    EXPECT_STREQ(small, "");

    ::unsetenv("TOV_TEST_VALUE");
    EXPECT_EQ(TovGetenv("TOV_TEST_VALUE", sizeof buffer, buffer), 1u);
    EXPECT_EQ(TovGetenv(nullptr, sizeof buffer, buffer), 3u);
    EXPECT_EQ(TovGetenv("PATH", sizeof buffer, nullptr), 3u);
}

TEST(TovMisc, NoOpsSucceed)
{
    EXPECT_EQ(TovRegisterCBorSigHndl(), 0u);
    TovThreadSetPriority();
    EXPECT_EQ(TovSleep(0), 0u);
}

}  // namespace
