// The command provider through the broker's slots: request checks, argument
// errors and the method path for commands that need no controller.

#include "ProviderFixture.h"

#include <thread>

using namespace provtest;

namespace {

class CLIProviderTest : public ProviderTest {
protected:
    CLIProviderTest() : ProviderTest("vynCLIProvider", "VYN_CLIExecutor", "VYN_CLI_Engine") {}

    Outcome execute(const std::vector<std::string>& words, bool warningFlag = false) {
        return invoke("executeCommand", {{"commands", Value::stringArray(words)},
                                         {"warningFlag", Value::boolean(warningFlag)}});
    }

    static std::string result(const Outcome& o) {
        const Value* v = o.outArg("result");
        return v ? v->text : "(no result)";
    }

    static unsigned warningType(const Outcome& o) {
        const Value* v = o.outArg("warningType");
        return v && v->type == CMPI_uint32 ? v->scalar.uint32 : 999u;
    }
};

TEST_P(CLIProviderTest, RequestChecksComeInOrder) {
    struct Case {
        const char* ns;
        const char* cls;
        const char* id;
        const char* method;
        CMPIrc rc;
    };
    const Case cases[] = {
        {"root/other", "VYN_Other", "x", "nothing", CMPI_RC_ERR_INVALID_NAMESPACE},
        {kNamespace, "VYN_Other", "x", "nothing", CMPI_RC_ERR_INVALID_CLASS},
        {kNamespace, "VYN_CLIExecutor", "x", "executeCommand", CMPI_RC_ERR_NOT_FOUND},
        {kNamespace, "VYN_CLIExecutor", nullptr, "executeCommand", CMPI_RC_ERR_NOT_FOUND},
        {kNamespace, "VYN_CLIExecutor", "VYN_CLI_Engine", "ExecuteCommand",
         CMPI_RC_ERR_METHOD_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + c.method);
        Outcome o = broker_.invoke(path(c.ns, c.cls, c.id), c.method,
                                   {{"commands", Value::stringArray({})},
                                    {"warningFlag", Value::boolean(false)}});
        EXPECT_EQ(o.rc, c.rc);
        EXPECT_TRUE(o.items.empty());
        EXPECT_TRUE(o.out.empty());
    }
    EXPECT_EQ(broker_.getInstance(path()).rc, CMPI_RC_OK);
    EXPECT_EQ(broker_.enumInstanceNames(path(kNamespace, "VYN_CLIExecutor", nullptr)).items.size(),
              1u);
    EXPECT_EQ(broker_.enumInstanceNames(path("root/x", "VYN_CLIExecutor", nullptr)).rc,
              CMPI_RC_ERR_INVALID_CLASS);

    // A subclass is served too; the instance carries its key as a property.
    broker_.setSuperclasses("VYN_CLIExecutorChild", {"VYN_CLIExecutor"});
    Outcome instances = broker_.enumInstances(path(kNamespace, "VYN_CLIExecutorChild", nullptr));
    EXPECT_EQ(instances.rc, CMPI_RC_OK);
    EXPECT_TRUE(instances.done);
    ASSERT_EQ(instances.items.size(), 1u);
    const Value* id = minibroker::findEntry(instances.items[0].instance.props, "InstanceID");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->text, "VYN_CLI_Engine");
    EXPECT_EQ(broker_.enumInstances(path(kNamespace, "VYN_Other", nullptr)).rc,
              CMPI_RC_ERR_INVALID_CLASS);

    const minibroker::Instance inst{path(), {}};
    EXPECT_EQ(broker_.createInstance(path(), inst).rc, CMPI_RC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(broker_.modifyInstance(path(), inst).rc, CMPI_RC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(broker_.deleteInstance(path()).rc, CMPI_RC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(broker_.execQuery(path(), "select * from VYN_CLIExecutor", "WQL").rc,
              CMPI_RC_ERR_NOT_SUPPORTED);
}

TEST_P(CLIProviderTest, BadArgumentsGiveInvalidParameter) {
    const Entries cases[] = {
        {{"warningFlag", Value::boolean(false)}},
        {{"commands", Value::stringArray({"GETVERSION"})}},
        {{"commands", Value::string("GETVERSION")}, {"warningFlag", Value::boolean(false)}},
        {{"commands", Value::stringArray({})}, {"warningFlag", Value::string("true")}},
    };
    for (const Entries& in : cases) {
        Outcome o = invoke("executeCommand", in);
        EXPECT_EQ(o.rc, CMPI_RC_ERR_INVALID_PARAMETER);
        EXPECT_TRUE(o.items.empty());
        EXPECT_TRUE(o.out.empty());
    }
    const std::string trace = vyntest::readFile(hostFile("/var/log/vynconf.log"));
    EXPECT_NE(trace.find("Caught exception!!!"), std::string::npos);
    EXPECT_NE(trace.find("Command 0 = GETVERSION"), std::string::npos);
}

TEST_P(CLIProviderTest, NoWordShowsTheCommandList) {
    Outcome o = execute({});
    EXPECT_EQ(o.rc, CMPI_RC_OK);
    EXPECT_EQ(returnedValue(o), 1);
    EXPECT_TRUE(o.done);
    EXPECT_EQ(warningType(o), 0u);
    EXPECT_NE(result(o).find("Version 7.31 (B18856)"), std::string::npos) << result(o);
    EXPECT_EQ(result(o).find("Controllers found"), std::string::npos);

    // "noprompt" alone is a command word, and no command of that name.
    Outcome lone = execute({"noprompt"});
    EXPECT_EQ(returnedValue(lone), 1);
    EXPECT_NE(result(lone).find("Version 7.31 (B18856)"), std::string::npos) << result(lone);
}

TEST_P(CLIProviderTest, LoneKeywordShowsItsHelpWithoutTheLibrary) {
    const std::string commandList = result(execute({}));
    for (const char* word : {"GETCONFIG", "getconfig"}) {
        Outcome o = execute({word}, true);
        EXPECT_EQ(o.rc, CMPI_RC_OK);
        EXPECT_EQ(returnedValue(o), 1);
        EXPECT_EQ(warningType(o), 0u);
        EXPECT_NE(result(o), commandList);
        EXPECT_EQ(result(o).find("Controllers found"), std::string::npos) << result(o);
    }
}

TEST_P(CLIProviderTest, LibraryCommandsOpenWithTheControllerCount) {
    Outcome o = execute({"GETVERSION"});
    EXPECT_EQ(o.rc, CMPI_RC_OK);
    EXPECT_EQ(result(o).rfind("Controllers found: ", 0), 0u) << result(o);
    // Each request starts with empty captured output.
    Outcome again = execute({"GETVERSION", "noprompt"});
    EXPECT_EQ(result(again), result(o));
}

TEST_P(CLIProviderTest, PasswordsNeverReachTheTrace) {
    // The echo option puts the command line into the result as typed; the
    // trace of the request and of its result must still hide the password.
    execute({"ATAPASSWORD", "1", "SET", "s3cr3tPass", "0", "1", "echo", "noprompt"});
    execute({"SETVMCREDENTIAL", "192.0.2.7", "5989", "root", "hunter2word", "noprompt"});
    const std::string trace = vyntest::readFile(hostFile("/var/log/vynconf.log"));
    EXPECT_EQ(trace.find("s3cr3tPass"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("hunter2word"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Command 3 = ********"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Controllers found: 0"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Command 0 = ATAPASSWORD"), std::string::npos) << trace;
}

TEST_P(CLIProviderTest, ConcurrentRequestsKeepTheirOwnOutput) {
    const std::string expected = result(execute({}));
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([this, &results, i] { results[i] = result(execute({})); });
    }
    for (std::thread& t : threads) t.join();
    for (const std::string& r : results) EXPECT_EQ(r, expected);
}

INSTANTIATE_TEST_SUITE_P(Flavours, CLIProviderTest,
                         ::testing::Values(Flavour::Sfcb, Flavour::Pegasus), flavourParamName);

}  // namespace
