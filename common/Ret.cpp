#include "common/Ret.h"

#include "common/ApiErrorTable.h"

#include <cstring>
#include <type_traits>

// The record travels by value between layers and through copies of whole
// records; keep it a plain block of fourteen 32-bit words.
static_assert(sizeof(Ret) == 14 * 4, "Ret is fourteen 32-bit words");
static_assert(std::is_trivially_copyable<Ret>::value, "Ret is copied as plain words");
static_assert(std::is_standard_layout<Ret>::value, "Ret words keep their order");

namespace {

// The caller's buffer holds the longest text; no text may outgrow it.
static_assert(Ret::ERROR_MESSAGE_SIZE == API_ERROR_TEXT_MAX + 1,
              "message buffer and longest table text agree");

// Parameter checks report two driver statuses with their own texts.
constexpr unsigned int PARAM_CHECK_DRIVER_MISMATCH = 30;
constexpr unsigned int PARAM_CHECK_NO_DRIVER_FILE = 31;

const char* fixedText(int code)
{
    switch (code) {
    case -100: return "Unsupported Error (parse error)";
    case -16: return "Unsupported Error (invalid command/buffer)";
    case -15: return "Unsupported Error (debug overflow)";
    case -14: return "Unsupported Error (output overflow)";
    case -13: return "Unsupported Error (exception thrown)";
    case -12: return "Unsupported Error (object not found)";
    case -11: return "Unsupported Error (uninitialized)";
    case -10: return "Unsupported Error (more info)";
    case -9: return "Unsupported Error (general failure)";
    case -8: return "Unsupported Error (parameter limit failure)";
    case -7: return "The requested action has timed out";
    case -6: return "Unsupported Error (busy failure)";
    case -3: return "Unsupported Error (resource failure)";
    case -1: return "The requested action is not supported";
    default: return "Unsupported Error (unknown failure)";
    }
}

}  // namespace

Ret::Ret()
{
    clear();
}

Ret::Ret(int code)
{
    clear();
    m_return = code;
}

void Ret::clear()
{
    std::memset(static_cast<void*>(this), 0, sizeof *this);
}

bool Ret::operator==(const Ret& other) const
{
    return std::memcmp(static_cast<const void*>(this), static_cast<const void*>(&other),
                       sizeof *this) == 0;
}

bool Ret::operator!=(const Ret& other) const
{
    return !(*this == other);
}

void Ret::setReturn(int code)
{
    m_return = code;
}

void Ret::setNotSupported(long detail)
{
    m_return = -1;
    m_signedReturn = static_cast<int>(detail);
}

void Ret::setBadParam(long detail)
{
    m_return = -2;
    m_signedReturn = static_cast<int>(detail);
}

void Ret::setResource()
{
    m_return = -3;
}

void Ret::setApiError(unsigned long status)
{
    m_return = -5;
    m_apiReturn = static_cast<unsigned int>(status);
}

void Ret::setBusy()
{
    m_return = -6;
}

void Ret::setObjectNotFound()
{
    m_return = -12;
}

void Ret::setException()
{
    m_return = -13;
}

void Ret::setOverflow()
{
    m_return = -14;
}

void Ret::setMiscErrors(unsigned long unsignedValue, long signedValue)
{
    m_unsignedReturn = static_cast<unsigned int>(unsignedValue);
    m_signedReturn = static_cast<int>(signedValue);
}

void Ret::debug(FILE* stream) const
{
    if (stream == nullptr)
        return;
    std::fprintf(stream, " -------------------------------------------------------------\n");
    std::fprintf(stream, "(DEBUG) Return structure details:\n");
    std::fprintf(stream, "   GetReturnCode()=0x%x\n", static_cast<unsigned int>(m_return));
    std::fprintf(stream, "   GetAPIReturnCode()=0x%x\n", m_apiReturn);
    std::fprintf(stream, "   GetIOCTLReturnCode()=0x%x\n", m_ioctlReturn);
    // The letter O in front of the retry number is what readers of old dumps know.
    std::fprintf(stream, "   GetRetryNumber()=Ox%x\n", m_retryNumber);
    std::fprintf(stream, "   GetUnsignedReturnValue()=0x%x\n", m_unsignedReturn);
    std::fprintf(stream, "   GetSignedReturnValue()=0x%x\n", static_cast<unsigned int>(m_signedReturn));
    std::fprintf(stream, "   getSenseDataError()=0x%x\n", m_senseDataError);
    std::fprintf(stream, "   getSenseKey()=0x%x\n", m_senseKey);
    std::fprintf(stream, "   getSenseCode()=0x%x\n", m_senseCode);
    std::fprintf(stream, "   getSenseCodeQualifier()=0x%x\n", m_senseCodeQualifier);
    std::fprintf(stream, " --------------------------------------------------------------\n");
}

char* Ret::getErrorMessage(char* buffer) const
{
    if (buffer == nullptr)
        return nullptr;
    switch (m_return) {
    case -5:
        return apiErrorMessage(apiErrorTable(), m_apiReturn, buffer, ERROR_MESSAGE_SIZE);
    case -4:
        std::snprintf(buffer, ERROR_MESSAGE_SIZE, "IOCTL failure occurred (0x%x)", m_ioctlReturn);
        return buffer;
    case -2:
        // Parameter checks put their status into the API word, not the detail word.
        if (m_apiReturn == PARAM_CHECK_DRIVER_MISMATCH)
            std::snprintf(buffer, ERROR_MESSAGE_SIZE, "%s",
                          "Specified driver(s) do not match any currently installed device.");
        else if (m_apiReturn == PARAM_CHECK_NO_DRIVER_FILE)
            std::snprintf(buffer, ERROR_MESSAGE_SIZE, "%s", "Specified driver file does not exist.");
        else
            std::snprintf(buffer, ERROR_MESSAGE_SIZE, "Parameter Check failure occured (0x%x)",
                          m_apiReturn);
        return buffer;
    default:
        std::snprintf(buffer, ERROR_MESSAGE_SIZE, "%s", fixedText(m_return));
        return buffer;
    }
}
