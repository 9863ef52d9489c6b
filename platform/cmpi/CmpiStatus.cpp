#include "platform/cmpi/CmpiStatus.h"

#include "platform/cmpi/CmpiBrokerScope.h"
#include "platform/cmpi/CmpiSlotCalls.h"

#include <exception>
#include <new>

namespace {
thread_local const CMPIBroker* tlsCurrentBroker = nullptr;
}

const CMPIBroker* cmpiCurrentBroker() noexcept { return tlsCurrentBroker; }

CmpiBrokerScope::CmpiBrokerScope(const CMPIBroker* broker) noexcept : previous_(tlsCurrentBroker) {
    tlsCurrentBroker = broker;
}

CmpiBrokerScope::~CmpiBrokerScope() { tlsCurrentBroker = previous_; }

CMPIString* cmpiTryNewString(const char* text) noexcept {
    const CMPIBroker* mb = tlsCurrentBroker;
    if (!mb || !mb->eft || !mb->eft->newString || !text) return nullptr;
    CMPIStatus st = cmpislot::ok();
    CMPIString* s = mb->eft->newString(mb, text, &st);
    return st.rc == CMPI_RC_OK ? s : nullptr;
}

CmpiStatus::CmpiStatus() : status_{CMPI_RC_OK, nullptr} {}

CmpiStatus::CmpiStatus(CMPIrc rc) : status_{rc, nullptr} {}

CmpiStatus::CmpiStatus(CMPIrc rc, const char* msg) : status_{rc, cmpiTryNewString(msg)} {}

CmpiStatus::CmpiStatus(const CMPIStatus& status) : status_(status) {}

const char* CmpiStatus::msg() const {
    const CMPIString* s = status_.msg;
    if (!s || !s->ft || !s->ft->getCharPtr) return "";
    CMPIStatus st = cmpislot::ok();
    const char* text = s->ft->getCharPtr(s, &st);
    return st.rc == CMPI_RC_OK && text ? text : "";
}

CMPIStatus cmpiStatusOfCurrentException() noexcept {
    try {
        throw;
    } catch (const CmpiStatus& s) {
        return s.status();
    } catch (const std::bad_alloc&) {
        return CMPIStatus{CMPI_RC_ERR_FAILED, cmpiTryNewString("out of memory")};
    } catch (const std::exception& e) {
        return CMPIStatus{CMPI_RC_ERR_FAILED, cmpiTryNewString(e.what())};
    } catch (...) {
        return CMPIStatus{CMPI_RC_ERR_FAILED, nullptr};
    }
}

namespace cmpislot {

void fail(CMPIrc rc) { throw CmpiStatus(rc); }

void check(const CMPIStatus& status) {
    if (status.rc != CMPI_RC_OK) throw CmpiStatus(status);
}

const CMPIBroker& broker() {
    const CMPIBroker* mb = tlsCurrentBroker;
    if (!mb || !mb->eft) fail(CMPI_RC_ERR_FAILED);
    return *mb;
}

bool isMissing(const CMPIStatus& status, const CMPIData& data) {
    return status.rc == CMPI_RC_ERR_NOT_FOUND || status.rc == CMPI_RC_ERR_NO_SUCH_PROPERTY ||
           (data.state & CMPI_notFound) != 0;
}

}  // namespace cmpislot
