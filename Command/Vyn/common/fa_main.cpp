#include "Command/Vyn/common/fa_main.h"

#include "Command/Vyn/common/fa_utils.h"
#include "common/ApiErrorTable.h"

#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <string>
#include <vector>

const char kFsaNoStatusText[] = "ERROR TEXT: Could not translate message to its text description. ";

namespace {

// The end marker of the table; codes from the last row up to it have none.
constexpr FSA_STATUS kLastStatus = 641;
constexpr FSA_STATUS kHighestRow = 620;

// Rows this interface words its own way; they win over the shared texts.
constexpr ApiErrorRow kOwnRows[] = {
    {0, kFsaNoStatusText},
    {1, "OK: The operation was successful."},
    {2, "The remote computer could not be found. Ensure BREL Remote Services are running on the remote computer. "
        "Remove and re-add the remote computer's record in the remote connection database if its management "
        "software or network address has been updated."},
    {3, "The requested controller does not exist."},
    {6, "General failure: The requested function failed."},
    {7, "One of the parameters specified is bad."},
    {8, "The specified controller name is invalid."},
    {9, "The handle used in the call is not valid for this process."},
    {17, "The maximum number of containers has been exceeded for this controller.  Please delete a container "
         "before trying to create a new one."},
    {26, "The specified chunk or stripe size is invalid."},
    {31, "The function specified is not supported for this controller."},
    {42, "The operation could not be performed because the specified container is locked."},
    {52, kFsaNoStatusText},
    {53, kFsaNoStatusText},
    {59, "The internal structures have an invalid type of controller."},
    {73, "The API could not create a handle to open the controller. Internal failure."},
    {82, "The currently running application is too old to work with the current OMRAPI.DLL."},
    {85, "The controller software is too old to work with the current OMRAPI.DLL."},
    {88, "The current OMRAPI.DLL is too old to work with the current controller software."},
    {91, "An internal structure could not be allocated; there is probably not enough memory available."},
    {100, "The task ID points to a task that does not exist and never existed."},
    {111, "The task for the requested operation is already finished."},
    {122, "This operation can only be performed if the controller was opened for read-write access."},
    {123, "This operation can only be performed if the controller was opened for read-only access."},
    {124, "This operation requires that the controller be opened with read-write or low-level read-only access."},
    {129, "The controller is paused. It must be resumed before the request can be executed."},
    {134, "Another application has opened this controller for read-write access."},
    {234, "The domain name was specified twice."},
    {283, kFsaNoStatusText},
    {297, kFsaNoStatusText},
    {301, "The controller cannot be opened because it is paused.  Please wait until the controller resumes "
          "operation."},
    {304, "The requested message string could not be found"},
    {311, kFsaNoStatusText},
    {322, "The container is locked."},
    {460, kFsaNoStatusText},
    {479, "The driver could not execute the requested IOCTL sssssssssssssssssssssssss, "
          "nnn=ssssssssssssssssssssssssssssss."},
    {485, "failed to create mutex"},
    {486, "failed to get/lock mutex"},
    {487, "failed to release mutex"},
    {488, "failed to destroy mutex"},
    {489, "failed to create sema"},
    {490, "failed to wait for sema"},
    {491, "failed to post sema"},
    {492, "failed to destroy sema"},
    {493, "failed to create thread"},
    {514, "The requested function is not currently available on this operating system."},
    {619, "There are no devices available."},
    {620, "This controller does not support battery."},
};

void replaceAll(std::string& text, const char* from, const char* to)
{
    const size_t fromLength = std::strlen(from);
    const size_t toLength = std::strlen(to);
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + toLength))
        text.replace(at, fromLength, to);
}

// The overlay over the shared table: the vocabulary changes of every shared
// row that has one, then the own rows; 999 exists only in the shared table.
class StatusOverlay {
public:
    StatusOverlay()
    {
        std::map<uint32_t, const char*> rows;
        const ApiErrorTable& shared = apiErrorTable();
        for (const ApiErrorRow& row : shared) {
            if (row.text == nullptr || row.key > kHighestRow)
                continue;
            std::string text = row.text;
            replaceAll(text, "logical devices", "containers");
            replaceAll(text, "logical device", "container");
            replaceAll(text, "segment", "chunk");
            if (text != row.text)
                rows[row.key] = texts_.emplace_back(std::move(text)).c_str();
        }
        for (const ApiErrorRow& row : kOwnRows)
            rows[row.key] = row.text;
        rows[999] = nullptr;
        for (const auto& [key, text] : rows)
            rows_.push_back(ApiErrorRow{key, text});
        table_ = new ApiErrorTable(rows_.data(), rows_.size(), &shared);
    }
    ~StatusOverlay() { delete table_; }
    StatusOverlay(const StatusOverlay&) = delete;
    StatusOverlay& operator=(const StatusOverlay&) = delete;

    const ApiErrorTable& table() const { return *table_; }

private:
    std::deque<std::string> texts_;  // stable addresses for the rows
    std::vector<ApiErrorRow> rows_;
    ApiErrorTable* table_ = nullptr;
};

}  // namespace

const ApiErrorTable& fsaStatusTextTable()
{
    // Built once, on first use, by whichever thread comes first.
    static const StatusOverlay overlay;
    return overlay.table();
}

FSA_STATUS FsaGetErrorTextA(FSA_STATUS status, char* text)
{
    // Row 0 and the end marker are never matched.
    if (text == nullptr)
        return 0;
    const char* found = nullptr;
    if (status != 0 && status < kLastStatus)
        found = fsaStatusTextTable().find(status);
    std::strcpy(text, found != nullptr ? found : kFsaNoStatusText);
    return found != nullptr ? 1 : 0;
}

FSA_STATUS FsaGetErrorTextW(FSA_STATUS status, wchar_t* text)
{
    FsaApiEntryExit scope("FsaGetErrorTextW");
    if (text == nullptr)
        return 0;
    char narrow[300];
    const FSA_STATUS result = FsaGetErrorTextA(status, narrow);
    size_t i = 0;
    for (; narrow[i] != '\0'; ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(narrow[i]));
    text[i] = L'\0';
    return result;
}
