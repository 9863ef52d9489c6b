#ifndef VYN_COMMON_RET_H
#define VYN_COMMON_RET_H

#include <cstdio>

// The status record that every storage-library operation returns by value.
// Fourteen 32-bit words, all zero on construction; 0 in the return code means
// success, a negative code names the kind of failure. Words without a setter
// travel only by copying a whole record.
class Ret {
public:
    // Bytes a caller provides to getErrorMessage: the longest text and its NUL.
    static constexpr unsigned ERROR_MESSAGE_SIZE = 277;

    Ret();
    explicit Ret(int code);

    void clear();

    bool operator==(const Ret& other) const;
    bool operator!=(const Ret& other) const;

    void setReturn(int code);
    void setNotSupported(long detail);
    void setBadParam(long detail);
    void setResource();
    void setApiError(unsigned long status);
    void setBusy();
    void setObjectNotFound();
    void setException();
    void setOverflow();
    // Leaves the return code as it is.
    void setMiscErrors(unsigned long unsignedValue, long signedValue);

    int getReturn() const { return m_return; }
    unsigned int getAPIReturn() const { return m_apiReturn; }
    unsigned int getIOCTLReturn() const { return m_ioctlReturn; }
    unsigned int getRetryNumber() const { return m_retryNumber; }
    unsigned int getUnsignedReturn() const { return m_unsignedReturn; }
    int getSignedReturn() const { return m_signedReturn; }
    unsigned int getIOCStatus() const { return m_iocStatus; }
    unsigned int getSCSIStatus() const { return m_scsiStatus; }
    unsigned int getSenseDataError() const { return m_senseDataError; }
    unsigned int getSenseKey() const { return m_senseKey; }
    unsigned int getSenseCode() const { return m_senseCode; }
    unsigned int getSenseCodeQualifier() const { return m_senseCodeQualifier; }

    void debug(FILE* stream) const;

    // Writes the English message for this record into `buffer` (at least
    // ERROR_MESSAGE_SIZE bytes) and returns `buffer`; a null buffer gets nothing.
    char* getErrorMessage(char* buffer) const;

private:
    int m_return;
    unsigned int m_apiReturn;
    unsigned int m_ioctlReturn;
    unsigned int m_retryNumber;
    unsigned int m_unsignedReturn;
    int m_signedReturn;
    unsigned int m_iocStatus;
    unsigned int m_reserved7;
    unsigned int m_reserved8;
    unsigned int m_scsiStatus;
    unsigned int m_senseDataError;
    unsigned int m_senseKey;
    unsigned int m_senseCode;
    unsigned int m_senseCodeQualifier;
};

#endif
