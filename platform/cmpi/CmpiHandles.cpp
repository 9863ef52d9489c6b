#include "platform/cmpi/CmpiHandles.h"

#include "platform/cmpi/CmpiSlotCalls.h"

#include <strings.h>

#include <cstring>

using cmpislot::check;
using cmpislot::require;

namespace {

// Text of a broker string; a null string or a null text reads as "".
const char* textOf(const CMPIString* s) {
    if (!s) return "";
    CMPIStatus st = cmpislot::ok();
    const char* text = require(require(s->ft)->getCharPtr)(s, &st);
    check(st);
    return text ? text : "";
}

template <typename T>
T* made(T* object, const CMPIStatus& st) {
    check(st);
    return require(object);
}

// Strings stored back into the broker go in as text, so a broker never has to
// accept a string object that another table made.
CmpiData storable(const CmpiData& value) {
    if (value.type() == CMPI_string && !value.isNullValue()) {
        return CmpiData(textOf(value.data().value.string));
    }
    return value;
}

}  // namespace

// CmpiString

CmpiString::CmpiString(const char* text) : str_(nullptr) {
    const CMPIBroker& mb = cmpislot::broker();
    CMPIStatus st = cmpislot::ok();
    str_ = made(require(mb.eft->newString)(&mb, text ? text : "", &st), st);
}

const char* CmpiString::charPtr() const { return textOf(str_); }

bool CmpiString::equals(const char* text) const {
    return std::strcmp(charPtr(), text ? text : "") == 0;
}

bool CmpiString::equalsIgnoreCase(const char* text) const {
    return strcasecmp(charPtr(), text ? text : "") == 0;
}

// CmpiArray

CmpiArray::CmpiArray(CMPICount size, CMPIType elementType)
    : array_(nullptr), elementType_(CMPI_null) {
    CMPIType element = static_cast<CMPIType>(elementType & ~CMPI_ARRAY);
    if (element == CMPI_string) element = CMPI_chars;
    const CMPIBroker& mb = cmpislot::broker();
    CMPIStatus st = cmpislot::ok();
    array_ = made(require(mb.eft->newArray)(&mb, size, element, &st), st);
    elementType_ = element;
}

CMPICount CmpiArray::size() const {
    if (!array_) return 0;
    CMPIStatus st = cmpislot::ok();
    CMPICount n = require(require(array_->ft)->getSize)(array_, &st);
    check(st);
    return n;
}

CmpiData CmpiArray::getElement(CMPICount i) const {
    if (!array_) cmpislot::fail(CMPI_RC_ERR_NOT_FOUND);
    CMPIStatus st = cmpislot::ok();
    CMPIData d = require(require(array_->ft)->getElementAt)(array_, i, &st);
    check(st);
    return CmpiData(d);
}

void CmpiArray::setElement(CMPICount i, const CmpiData& value) {
    if (!array_) cmpislot::fail(CMPI_RC_ERR_FAILED);
    CmpiData element = value;
    if (elementType_ == CMPI_chars) {
        // Throws a type mismatch for anything but a string.
        element = CmpiData(static_cast<const char*>(value));
    } else if (value.type() != elementType_) {
        cmpislot::fail(CMPI_RC_ERR_TYPE_MISMATCH);
    }
    check(
        require(require(array_->ft)->setElementAt)(array_, i, element.valuePtr(), element.type()));
}

// CmpiObjectPath

CmpiObjectPath::CmpiObjectPath(const char* ns, const char* className) : path_(nullptr) {
    const CMPIBroker& mb = cmpislot::broker();
    CMPIStatus st = cmpislot::ok();
    path_ = made(require(mb.eft->newObjectPath)(&mb, ns, className, &st), st);
}

CmpiString CmpiObjectPath::getNameSpace() const {
    CMPIStatus st = cmpislot::ok();
    CMPIString* s = require(require(require(path_)->ft)->getNameSpace)(path_, &st);
    check(st);
    return CmpiString(s);
}

CmpiString CmpiObjectPath::getClassName() const {
    CMPIStatus st = cmpislot::ok();
    CMPIString* s = require(require(require(path_)->ft)->getClassName)(path_, &st);
    check(st);
    return CmpiString(s);
}

CmpiString CmpiObjectPath::getHostname() const {
    CMPIStatus st = cmpislot::ok();
    CMPIString* s = require(require(require(path_)->ft)->getHostname)(path_, &st);
    check(st);
    return CmpiString(s);
}

CmpiData CmpiObjectPath::getKey(const char* name) const {
    CMPIStatus st = cmpislot::ok();
    CMPIData d = require(require(require(path_)->ft)->getKey)(path_, name, &st);
    if (cmpislot::isMissing(st, d)) return CmpiData::notFound();
    check(st);
    return CmpiData(d);
}

void CmpiObjectPath::setKey(const char* name, const CmpiData& value) {
    CmpiData v = storable(value);
    check(require(require(require(path_)->ft)->addKey)(path_, name, v.valuePtr(), v.type()));
}

bool CmpiObjectPath::classPathIsA(const char* className) const {
    const CMPIBroker& mb = cmpislot::broker();
    CMPIStatus st = cmpislot::ok();
    CMPIBoolean is = require(mb.eft->classPathIsA)(&mb, require(path_), className, &st);
    check(st);
    return is != 0;
}

CmpiObjectPath CmpiObjectPath::copy() const {
    CmpiObjectPath result(getNameSpace().charPtr(), getClassName().charPtr());
    const CMPIObjectPathFT* ft = path_->ft;
    const char* host = getHostname().charPtr();
    if (*host) check(require(ft->setHostname)(result.path_, host));
    CMPIStatus st = cmpislot::ok();
    CMPICount keys = require(ft->getKeyCount)(path_, &st);
    check(st);
    for (CMPICount i = 0; i < keys; ++i) {
        CMPIString* name = nullptr;
        CMPIData d = require(ft->getKeyAt)(path_, i, &name, &st);
        check(st);
        result.setKey(textOf(name), CmpiData(d));
    }
    return result;
}

// CmpiInstance

CmpiInstance::CmpiInstance(const CmpiObjectPath& path) : inst_(nullptr) {
    const CMPIBroker& mb = cmpislot::broker();
    CMPIStatus st = cmpislot::ok();
    inst_ = made(require(mb.eft->newInstance)(&mb, require(path.getEnc()), &st), st);
}

void CmpiInstance::setProperty(const char* name, const CmpiData& value) {
    CmpiData v = storable(value);
    check(require(require(require(inst_)->ft)->setProperty)(inst_, name, v.valuePtr(), v.type()));
}

// CmpiResult

void CmpiResult::returnData(const CmpiData& value) {
    CmpiData v = storable(value);
    check(require(require(require(result_)->ft)->returnData)(result_, v.valuePtr(), v.type()));
}

void CmpiResult::returnData(const CmpiInstance& inst) {
    check(require(require(require(result_)->ft)->returnInstance)(result_, require(inst.getEnc())));
}

void CmpiResult::returnData(const CmpiObjectPath& path) {
    check(
        require(require(require(result_)->ft)->returnObjectPath)(result_, require(path.getEnc())));
}

void CmpiResult::returnDone() {
    check(require(require(require(result_)->ft)->returnDone)(result_));
}

// CmpiArgs

CmpiArgs::CmpiArgs() : args_(nullptr) {
    const CMPIBroker& mb = cmpislot::broker();
    CMPIStatus st = cmpislot::ok();
    args_ = made(require(mb.eft->newArgs)(&mb, &st), st);
}

CmpiData CmpiArgs::getArg(const char* name) const {
    if (!args_) return CmpiData::notFound();
    CMPIStatus st = cmpislot::ok();
    CMPIData d = require(require(args_->ft)->getArg)(args_, name, &st);
    if (cmpislot::isMissing(st, d)) return CmpiData::notFound();
    check(st);
    return CmpiData(d);
}

void CmpiArgs::setArg(const char* name, const CmpiData& value) {
    CmpiData v = storable(value);
    check(require(require(require(args_)->ft)->addArg)(args_, name, v.valuePtr(), v.type()));
}

CMPICount CmpiArgs::getArgCount() const {
    if (!args_) return 0;
    CMPIStatus st = cmpislot::ok();
    CMPICount n = require(require(args_->ft)->getArgCount)(args_, &st);
    check(st);
    return n;
}
