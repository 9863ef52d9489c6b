#include "common/ApiErrorTable.h"
#include "common/Ret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kNoMessageDescription =
    "ERROR TEXT: Could not translate message to its text description.";

std::string apiMessage(std::uint32_t status)
{
    Ret ret;
    ret.setApiError(status);
    char buffer[Ret::ERROR_MESSAGE_SIZE];
    return ret.getErrorMessage(buffer);
}

TEST(ApiErrorTableTest, KeysAreZeroTo618And999InOrder)
{
    std::vector<std::uint32_t> expected;
    for (std::uint32_t key = 0; key <= 618; ++key)
        expected.push_back(key);
    expected.push_back(999);

    std::vector<std::uint32_t> keys;
    for (const ApiErrorRow& row : apiErrorTable())
        keys.push_back(row.key);
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(apiErrorTable().base(), nullptr);
}

// Walks every status up to past the last key: a keyed status reads its own
// row through the status record, any other the fallback with its number.
TEST(ApiErrorTableTest, EveryStatusReadsItsRowOrTheFallback)
{
    std::map<std::uint32_t, std::string> rows;
    for (const ApiErrorRow& row : apiErrorTable())
        rows[row.key] = row.text;

    for (std::uint32_t status = 0; status <= 1100; ++status) {
        const bool keyed = status <= 618 || status == 999;
        char fallback[64];
        std::snprintf(fallback, sizeof fallback, "API failure occurred (0x%x)", status);
        EXPECT_EQ(apiMessage(status), keyed ? rows.at(status) : std::string(fallback))
            << "status " << status;
        EXPECT_EQ(apiErrorTable().find(status) != nullptr, keyed) << "status " << status;
    }
}

TEST(ApiErrorTableTest, EveryTextIsOneBoundedLine)
{
    std::size_t longest = 0;
    for (const ApiErrorRow& row : apiErrorTable()) {
        ASSERT_NE(row.text, nullptr) << row.key;
        const std::string text = row.text;
        EXPECT_FALSE(text.empty()) << row.key;
        EXPECT_LE(text.size(), API_ERROR_TEXT_MAX) << row.key;
        EXPECT_EQ(text.find('\n'), std::string::npos) << row.key;
        EXPECT_EQ(text.back(), '.') << row.key;
        longest = std::max(longest, text.size());
    }
    EXPECT_EQ(longest, API_ERROR_TEXT_MAX);
}

// Only the known groups share a text; any other repeat is a copy slip.
TEST(ApiErrorTableTest, OnlyTheKnownGroupsShareATextAndTheyDo)
{
    std::map<std::string, std::set<std::uint32_t>> keysByText;
    for (const ApiErrorRow& row : apiErrorTable())
        keysByText[row.text].insert(row.key);

    const std::map<std::string, std::set<std::uint32_t>> expected = {
        {"The specified segment or stripe size is invalid.", {26, 324}},
        {"Could not translate error message to its text description.", {52, 53}},
        {"This operation cannot be performed because the logical device is not a snapshot logical device.",
         {185, 186}},
        {"This operation would exceed the maximum number of partitions for this logical device type.",
         {572, 573}},
        {kNoMessageDescription,
         {283, 297, 304, 311, 460, 500, 501, 521, 536, 537, 538, 539, 541, 544, 550, 580, 582}},
    };
    std::map<std::string, std::set<std::uint32_t>> shared;
    for (const auto& entry : keysByText)
        if (entry.second.size() > 1)
            shared.insert(entry);
    EXPECT_EQ(shared, expected);
}

TEST(ApiErrorTableTest, StatusRecordMessageForRepresentativeKeys)
{
    struct Case {
        std::uint32_t status;
        const char* text;
    };
    const Case cases[] = {
        {0, "No further details."},
        {1, "The operation was successful."},
        {7, "One of the parameters specified is invalid."},
        {17, "The maximum number of logical devices has been exceeded for this controller."},
        {26, "The specified segment or stripe size is invalid."},
        {52, "Could not translate error message to its text description."},
        {53, "Could not translate error message to its text description."},
        {99, "This is the last time this callback will be called.  The pAppInfo pointer is no longer referenced."},
        {100, "Can not change the status of the task ID.  Most likely, the task that you are attempting to change "
              "has already completed or was aborted."},
        {185, "This operation cannot be performed because the logical device is not a snapshot logical device."},
        {197, "The BREL Remote Management Services Agent could not impersonate the client."},
        {283, kNoMessageDescription},
        {305, "Could not load omrappse.dll."},
        {324, "The specified segment or stripe size is invalid."},
        {479, "The driver could not execute the requested IOCTL sssssssssssssssssssssssss, "
              "nnn=ssssssssssssssssssssssssssssss."},
        {498, "The operation to close the peer partner failed.  Please ensure that the BREL Remote Management "
              "Services Agent (network services software) is running on the peer partner."},
        {572, "This operation would exceed the maximum number of partitions for this logical device type."},
        {582, kNoMessageDescription},
        {617, "The controller found two independent halves of this logical device.  Please remove the disks that "
              "constitute one of these halves.  Then, perform a bus rescan on your controller and try this "
              "command again."},
        {618, "The logical device with the specified UID was not found."},
        {999, "Cannot delete a partitioned logical device."},
        // Outside the table, including the command engine's own rows 637 and 638.
        {619, "API failure occurred (0x26b)"},
        {637, "API failure occurred (0x27d)"},
        {638, "API failure occurred (0x27e)"},
        {700, "API failure occurred (0x2bc)"},
        {998, "API failure occurred (0x3e6)"},
        {1000, "API failure occurred (0x3e8)"},
        {0xFFFFFFFFu, "API failure occurred (0xffffffff)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(apiMessage(c.status), c.text) << "status " << c.status;

    for (std::uint32_t status : {283u, 297u, 304u, 311u, 460u, 500u, 501u, 521u, 536u, 537u, 538u, 539u,
                                 541u, 544u, 550u, 580u, 582u})
        EXPECT_EQ(apiMessage(status), kNoMessageDescription) << "status " << status;
}

TEST(ApiErrorTableTest, TheLongestTextFillsTheBufferExactly)
{
    Ret ret;
    ret.setApiError(532);
    char buffer[Ret::ERROR_MESSAGE_SIZE + 8];
    std::memset(buffer, 'X', sizeof buffer);
    ret.getErrorMessage(buffer);
    EXPECT_EQ(std::strlen(buffer), API_ERROR_TEXT_MAX);
    EXPECT_EQ(buffer[Ret::ERROR_MESSAGE_SIZE], 'X');
}

TEST(ApiErrorTableTest, MessageIsBoundedByTheGivenSize)
{
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    apiErrorMessage(apiErrorTable(), 7, buffer, 10);
    EXPECT_STREQ(buffer, "One of th");
    EXPECT_EQ(buffer[10], 'X');
    apiErrorMessage(apiErrorTable(), 700, buffer, 10);
    EXPECT_STREQ(buffer, "API failu");
}

// Front ends that differ in a few rows lay their own rows over the shared table.
TEST(ApiErrorTableTest, OverlayReplacesRemovesAndAddsRows)
{
    static const ApiErrorRow overlayRows[] = {
        {7, "One of the parameters specified is bad."},
        {26, nullptr},
        {637, "Added row."},
    };
    const ApiErrorTable overlay(overlayRows, 3, &apiErrorTable());

    EXPECT_STREQ(overlay.find(7), "One of the parameters specified is bad.");
    EXPECT_EQ(overlay.find(26), nullptr);
    EXPECT_STREQ(overlay.find(637), "Added row.");
    EXPECT_STREQ(overlay.find(324), "The specified segment or stripe size is invalid.");
    EXPECT_EQ(overlay.find(700), nullptr);

    char buffer[Ret::ERROR_MESSAGE_SIZE];
    EXPECT_STREQ(apiErrorMessage(overlay, 26, buffer, sizeof buffer), "API failure occurred (0x1a)");
    EXPECT_STREQ(apiErrorMessage(overlay, 637, buffer, sizeof buffer), "Added row.");

    // The shared table itself is untouched.
    EXPECT_STREQ(apiErrorTable().find(7), "One of the parameters specified is invalid.");
    EXPECT_STREQ(apiErrorTable().find(26), "The specified segment or stripe size is invalid.");
}

}  // namespace
