// The command provider's request path with the storage library under the
// test's control: the provider is linked into the test and made through the
// same factory template and slots a broker uses, with a recording library in
// place of the controller family's.

#include "MiniBroker.h"
#include "cimprov/CLIProvider.h"
#include "cli/Engine.h"
#include "cli/FunctionResolver.h"
#include "cli/support/RecordingLib.h"
#include "common/Ret.h"
#include "support/HostRootTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using minibroker::Entries;
using minibroker::Flavour;
using minibroker::MiniBroker;
using minibroker::Outcome;
using minibroker::Path;
using minibroker::Value;

namespace {

// The library objects the provider made and the ones still alive, and how
// each built its tree.
std::atomic<int> made{0};
std::atomic<int> live{0};
const char* fixtureName = "basic";
enum class Making { Works, ReturnsNull, Throws };
Making making = Making::Works;
std::vector<std::string> builds;
// Stands in for IDENTIFY's first phase: the request ends with an
// acknowledgement pending while its library object keeps a drive blinking.
bool leavesAcknowledgementPending = false;
// `live` as each tree build saw it, the build's own object included.
std::vector<int> liveAtBuild;

class CountedLib : public vyntest::RecordingLib {
public:
    CountedLib() : RecordingLib(fixtureName) { ++live; }
    ~CountedLib() override { --live; }
    Ret getSystemConfig() override {
        builds.push_back("all");
        liveAtBuild.push_back(live);
        if (leavesAcknowledgementPending) outputWarningFlag = 2;
        return RecordingLib::getSystemConfig();
    }
    Ret getSystemConfigForSingleAdapter(unsigned long index) override {
        builds.push_back("single " + std::to_string(static_cast<long>(index)));
        return RecordingLib::getSystemConfigForSingleAdapter(index);
    }
};

StorLibPlugin* makeCounted() {
    ++made;
    switch (making) {
    case Making::ReturnsNull:
        return nullptr;
    case Making::Throws:
        throw std::runtime_error("no library today");
    case Making::Works:
        break;
    }
    return new CountedLib;
}

class CLIProviderRequestTest : public vyntest::HostRootTest {
protected:
    void SetUp() override {
        HostRootTest::SetUp();
        made = 0;
        live = 0;
        fixtureName = "basic";
        making = Making::Works;
        builds.clear();
        leavesAcknowledgementPending = false;
        liveAtBuild.clear();
        CLIProvider::setLibraryMaker(&makeCounted);
        MiniBroker::clearFailures();
        MiniBroker::Scope scope(broker_);
        CMPIStatus rc{CMPI_RC_ERR_FAILED, nullptr};
        CMPIMethodMI* mi =
            records_.createMethodMI<CLIProvider>(broker_.broker(), scope.context(), &rc);
        ASSERT_NE(mi, nullptr);
        ASSERT_EQ(rc.rc, CMPI_RC_OK);
        broker_.reinstate(nullptr, mi);
    }

    void TearDown() override {
        if (broker_.methodMI() != nullptr) {
            EXPECT_EQ(broker_.cleanupMethodMI(true).rc, CMPI_RC_OK);
        }
        // The provider's cleanup releases every library object it kept.
        EXPECT_EQ(live, 0);
        CLIProvider::setLibraryMaker(nullptr);
        resetEngineState();
        std::string failures;
        for (const std::string& f : MiniBroker::failures()) failures += "\n  " + f;
        EXPECT_TRUE(failures.empty()) << failures;
        HostRootTest::TearDown();
    }

    Outcome execute(const std::vector<std::string>& words, bool warningFlag = false) {
        Path path{"root/tov/vyn/cli", "VYN_CLIExecutor", "", {}};
        minibroker::setEntry(path.keys, "InstanceID", Value::string("VYN_CLI_Engine"));
        return broker_.invoke(path, "executeCommand",
                              {{"commands", Value::stringArray(words)},
                               {"warningFlag", Value::boolean(warningFlag)}});
    }

    static std::string result(const Outcome& o) {
        const Value* v = o.outArg("result");
        return v != nullptr ? v->text : "(no result)";
    }

    static unsigned warningType(const Outcome& o) {
        const Value* v = o.outArg("warningType");
        return v != nullptr && v->type == CMPI_uint32 ? v->scalar.uint32 : 999u;
    }

    static int value(const Outcome& o) {
        const Value* v = o.returned();
        return v != nullptr && v->type == CMPI_sint32 ? v->scalar.sint32 : -12345;
    }

    MiniBroker broker_{Flavour::Sfcb};

private:
    CmpiProviderRecords records_{"vynCLIProvider"};
};

// What the engine prints as the help of one keyword.
std::string engineHelpOf(const char* keyword) {
    char program[] = "vynconf";
    std::string word = keyword;
    char* words[] = {program, &word[0], nullptr};
    argc2 = 2;
    argv2 = words;
    discardOutputData();
    loadFunctions();
    fnResolver->showHelp();
    std::string help = retString;
    delete fnResolver;
    fnResolver = nullptr;
    resetEngineState();
    return help;
}

TEST_F(CLIProviderRequestTest, LoneKeywordShowsItsHelpWithoutALibrary) {
    const std::string help = engineHelpOf("GETCONFIG");
    const std::string commandList = result(execute({}));
    for (const char* word : {"GETCONFIG", "getConfig"}) {
        SCOPED_TRACE(word);
        const Outcome o = execute({word}, true);
        EXPECT_EQ(o.rc, CMPI_RC_OK);
        EXPECT_EQ(value(o), 1);
        EXPECT_EQ(warningType(o), 0u);
        EXPECT_EQ(result(o), help);
        EXPECT_NE(result(o), commandList);
    }
    EXPECT_EQ(made, 0);

    // The lone keywords that run do make one.
    for (const char* word : {"GETVERSION", "getxml", "SaveSupportArchive", "SAVECONFIG"}) {
        const Outcome o = execute({word});
        EXPECT_EQ(result(o).rfind("Controllers found: 1\n", 0), 0u) << word << ": " << result(o);
    }
    EXPECT_EQ(made, 4);
}

TEST_F(CLIProviderRequestTest, GetconfigBuildsOneControllerOthersBuildAll) {
    const Outcome single = execute({"GETCONFIG", "x"});
    // No controller number: the single-controller build of position -1,
    // which finds nothing.
    EXPECT_EQ(result(single).rfind("Controllers found: 0\n", 0), 0u) << result(single);
    const Outcome all = execute({"getstatus", "1"});
    EXPECT_EQ(result(all).rfind("Controllers found: 1\n", 0), 0u) << result(all);
    EXPECT_EQ(builds, (std::vector<std::string>{"single -1", "all"}));
}

TEST_F(CLIProviderRequestTest, LibraryThatCannotBeMadeEndsTheRequest) {
    for (Making how : {Making::ReturnsNull, Making::Throws}) {
        making = how;
        const Outcome o = execute({"GETVERSION"}, true);
        EXPECT_EQ(o.rc, CMPI_RC_OK);
        EXPECT_TRUE(o.done);
        EXPECT_EQ(result(o), "Error, cannot load library.\n");
        EXPECT_EQ(value(o), 1);
        EXPECT_EQ(warningType(o), 0u);
    }
    making = Making::Works;
    EXPECT_EQ(result(execute({"GETVERSION"})).rfind("Controllers found: 1\n", 0), 0u);
}

TEST_F(CLIProviderRequestTest, EveryRequestStartsFromAFreshEngineState) {
    Ret stale;
    stale.setApiError(609);
    returnCodes = stale;
    outputWarningFlag = 2;
    prompt = 0;
    const Outcome list = execute({});
    EXPECT_EQ(warningType(list), 0u);
    EXPECT_EQ(returnCodes, Ret(-1));
    EXPECT_EQ(prompt, 1);
    // Engine globals never point at a request's freed words.
    EXPECT_EQ(argv2, nullptr);
    EXPECT_EQ(fnResolver, nullptr);

    struct Case {
        std::vector<std::string> words;
        int prompt;
    } cases[] = {
        {{"GETVERSION", "NoPrompt"}, 0},
        {{"GETVERSION"}, 1},
        {{"noprompt"}, 1},
        {{"GETVERSION", "noprompt", "x"}, 1},
    };
    for (const Case& c : cases) {
        prompt = 7;
        execute(c.words);
        EXPECT_EQ(prompt, c.prompt) << c.words.size() << " words";
    }
}

TEST_F(CLIProviderRequestTest, OnlyTheLastRequestsLibraryStaysAlive) {
    fixtureName = "ld";
    for (int i = 0; i < 20; ++i) execute({"GETVERSION"});
    EXPECT_EQ(made, 20);
    EXPECT_EQ(live, 1);
    // A request that needs no library lets the previous one go as well.
    execute({"GETCONFIG"});
    EXPECT_EQ(live, 0);
    execute({"GETVERSION"});
    EXPECT_EQ(live, 1);
    EXPECT_EQ(broker_.cleanupMethodMI(true).rc, CMPI_RC_OK);
    EXPECT_EQ(live, 0);
}

TEST_F(CLIProviderRequestTest, PendingAcknowledgementKeepsItsLibraryAlive) {
    for (int i = 0; i < 5; ++i) execute({"GETVERSION"});
    leavesAcknowledgementPending = true;
    const Outcome blinking = execute({"GETVERSION"});
    EXPECT_EQ(warningType(blinking), 2u);
    EXPECT_EQ(live, 1);
    // The next request runs beside the kept object and, ending without an
    // acknowledgement pending, lets it go.
    leavesAcknowledgementPending = false;
    liveAtBuild.clear();
    const Outcome acknowledged = execute({"GETVERSION"});
    EXPECT_EQ(warningType(acknowledged), 0u);
    EXPECT_EQ(liveAtBuild, std::vector<int>{2});
    EXPECT_EQ(live, 1);
    EXPECT_EQ(made, 7);
}

TEST_F(CLIProviderRequestTest, MethodMutexIsFreeAfterAFailedRequest) {
    broker_.failOnce("addArg");
    const Outcome failed = execute({});
    EXPECT_EQ(failed.rc, CMPI_RC_ERR_FAILED);
    EXPECT_TRUE(failed.items.empty());
    // Another thread gets the mutex: the failed request let it go.
    Outcome next;
    std::thread other([&] { next = execute({}); });
    other.join();
    EXPECT_EQ(next.rc, CMPI_RC_OK);
    EXPECT_EQ(value(next), 1);
}

}  // namespace
