// Number words too large for an int: every command answers as for any other
// bad number and calls nothing that changes the controller.
#include "ActionCommandTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::IsEmpty;

namespace {

class OversizedNumberTest : public ActionCommandTest {
protected:
    // The words with the one at `at` replaced by `word`.
    static std::vector<std::string> with(std::vector<std::string> words, size_t at, const std::string& word)
    {
        words.at(at) = word;
        return words;
    }
};

TEST_F(OversizedNumberTest, AnswersAsForABadNumberAndCallsNothing)
{
    const struct {
        std::vector<std::string> words;
        size_t number;  // the word that is too large
    } cases[] = {
        // 4294967296 wrapped to logical drive 0, 4294967297 to controller 1,
        // 4294967300 to channel or device 4
        {{"DELETE", "1", "LOGICALDRIVE", "4294967296", "noprompt"}, 3},
        {{"DELETE", "1", "LOGICALDRIVE", "1", "4294967296", "noprompt"}, 4},
        {{"SETNAME", "1", "LOGICALDRIVE", "4294967296", "x"}, 3},
        {{"SETCACHE", "1", "LOGICALDRIVE", "4294967296", "RON", "noprompt"}, 3},
        {{"SETCACHE", "1", "DEVICE", "0", "4294967296", "WT"}, 4},
        {{"IDENTIFY", "1", "LOGICALDRIVE", "4294967296"}, 3},
        {{"IDENTIFY", "1", "DEVICE", "4294967296", "0"}, 3},
        {{"TASK", "START", "1", "LOGICALDRIVE", "4294967296", "verify", "noprompt"}, 4},
        {{"TASK", "START", "4294967297", "LOGICALDRIVE", "0", "verify", "noprompt"}, 2},
        {{"COPYBACK", "4294967297", "on"}, 1},
        {{"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "4294967300", "0", "0", "1", "noprompt"}, 5},
        {{"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "0", "4294967300", "0", "1", "noprompt"}, 6},
        {{"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "0,4294967300", "0,1", "noprompt"}, 5},
        {{"CREATE", "1", "LOGICALDRIVE", "4294967396", "1", "0", "2", "0", "3", "noprompt"}, 3},
        {{"CREATE", "1", "JBOD", "4294967296", "2", "noprompt"}, 3},
        {{"GETCONFIG", "1", "LD", "99999999999999999999"}, 3},
        {{"GETCONFIG", "4294967297", "AD"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        use("ld");
        int badCode = -1;
        const std::string bad = runShown(with(c.words, c.number, "x"), badCode);
        scenario->clearCalls();
        int code = -1;
        const std::string shown = runShown(c.words, code);
        EXPECT_NE(code, 0);
        EXPECT_EQ(code, badCode);
        EXPECT_EQ(shown, bad);
        EXPECT_THAT(calls(), IsEmpty());
    }
}

}  // namespace
