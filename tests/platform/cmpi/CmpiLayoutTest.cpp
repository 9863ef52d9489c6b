// The C binary interface against the offsets, sizes and constants that
// brokers are compiled with (LP64).

#include "platform/cmpi/CmpiAbi.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

struct Offset {
    const char* member;
    std::size_t actual;
    std::size_t expected;
};

#define ROW(type, member, off) \
    { #type "." #member, offsetof(type, member), off }

const Offset kOffsets[] = {
    ROW(CMPIData, type, 0),
    ROW(CMPIData, state, 2),
    ROW(CMPIData, value, 8),
    ROW(CMPIStatus, rc, 0),
    ROW(CMPIStatus, msg, 8),
    ROW(CMPIBroker, hdl, 0),
    ROW(CMPIBroker, bft, 8),
    ROW(CMPIBroker, eft, 16),
    ROW(CMPIBroker, xft, 24),
    ROW(CMPIBroker, mft, 32),
    ROW(CMPIBrokerFT, brokerCapabilities, 0),
    ROW(CMPIBrokerFT, brokerVersion, 4),
    ROW(CMPIBrokerFT, brokerName, 8),
    ROW(CMPIBrokerFT, prepareAttachThread, 16),
    ROW(CMPIBrokerFT, attachThread, 24),
    ROW(CMPIBrokerFT, detachThread, 32),
    ROW(CMPIBrokerFT, deliverIndication, 40),
    ROW(CMPIBrokerFT, enumerateInstanceNames, 48),
    ROW(CMPIBrokerFT, getInstance, 56),
    ROW(CMPIBrokerFT, createInstance, 64),
    ROW(CMPIBrokerFT, modifyInstance, 72),
    ROW(CMPIBrokerFT, deleteInstance, 80),
    ROW(CMPIBrokerFT, execQuery, 88),
    ROW(CMPIBrokerFT, enumerateInstances, 96),
    ROW(CMPIBrokerFT, associators, 104),
    ROW(CMPIBrokerFT, associatorNames, 112),
    ROW(CMPIBrokerFT, references, 120),
    ROW(CMPIBrokerFT, referenceNames, 128),
    ROW(CMPIBrokerFT, invokeMethod, 136),
    ROW(CMPIBrokerFT, setProperty, 144),
    ROW(CMPIBrokerFT, getProperty, 152),
    ROW(CMPIBrokerEncFT, ftVersion, 0),
    ROW(CMPIBrokerEncFT, newInstance, 8),
    ROW(CMPIBrokerEncFT, newObjectPath, 16),
    ROW(CMPIBrokerEncFT, newArgs, 24),
    ROW(CMPIBrokerEncFT, newString, 32),
    ROW(CMPIBrokerEncFT, newArray, 40),
    ROW(CMPIBrokerEncFT, newDateTime, 48),
    ROW(CMPIBrokerEncFT, newDateTimeFromBinary, 56),
    ROW(CMPIBrokerEncFT, newDateTimeFromChars, 64),
    ROW(CMPIBrokerEncFT, newSelectExp, 72),
    ROW(CMPIBrokerEncFT, classPathIsA, 80),
    ROW(CMPIBrokerEncFT, toString, 88),
    ROW(CMPIBrokerEncFT, isOfType, 96),
    ROW(CMPIBrokerEncFT, getType, 104),
    ROW(CMPIBrokerEncFT, getMessage, 112),
    ROW(CMPIBrokerEncFT, logMessage, 120),
    ROW(CMPIBrokerEncFT, trace, 128),
    ROW(CMPIBrokerEncFT, newCMPIError, 136),
    ROW(CMPIBrokerEncFT, openMessageFile, 144),
    ROW(CMPIBrokerEncFT, closeMessageFile, 152),
    ROW(CMPIBrokerEncFT, getMessage2, 160),
    ROW(CMPIContext, hdl, 0),
    ROW(CMPIContext, ft, 8),
    ROW(CMPIContextFT, ftVersion, 0),
    ROW(CMPIContextFT, release, 8),
    ROW(CMPIContextFT, clone, 16),
    ROW(CMPIContextFT, getEntry, 24),
    ROW(CMPIContextFT, getEntryAt, 32),
    ROW(CMPIContextFT, getEntryCount, 40),
    ROW(CMPIContextFT, addEntry, 48),
    ROW(CMPIResultFT, release, 8),
    ROW(CMPIResultFT, clone, 16),
    ROW(CMPIResultFT, returnData, 24),
    ROW(CMPIResultFT, returnInstance, 32),
    ROW(CMPIResultFT, returnObjectPath, 40),
    ROW(CMPIResultFT, returnDone, 48),
    ROW(CMPIResultFT, returnError, 56),
    ROW(CMPIArgsFT, release, 8),
    ROW(CMPIArgsFT, clone, 16),
    ROW(CMPIArgsFT, addArg, 24),
    ROW(CMPIArgsFT, getArg, 32),
    ROW(CMPIArgsFT, getArgAt, 40),
    ROW(CMPIArgsFT, getArgCount, 48),
    ROW(CMPIObjectPathFT, release, 8),
    ROW(CMPIObjectPathFT, clone, 16),
    ROW(CMPIObjectPathFT, setNameSpace, 24),
    ROW(CMPIObjectPathFT, getNameSpace, 32),
    ROW(CMPIObjectPathFT, setHostname, 40),
    ROW(CMPIObjectPathFT, getHostname, 48),
    ROW(CMPIObjectPathFT, setClassName, 56),
    ROW(CMPIObjectPathFT, getClassName, 64),
    ROW(CMPIObjectPathFT, addKey, 72),
    ROW(CMPIObjectPathFT, getKey, 80),
    ROW(CMPIObjectPathFT, getKeyAt, 88),
    ROW(CMPIObjectPathFT, getKeyCount, 96),
    ROW(CMPIObjectPathFT, setNameSpaceFromObjectPath, 104),
    ROW(CMPIObjectPathFT, setHostAndNameSpaceFromObjectPath, 112),
    ROW(CMPIObjectPathFT, getClassQualifier, 120),
    ROW(CMPIObjectPathFT, getPropertyQualifier, 128),
    ROW(CMPIObjectPathFT, getMethodQualifier, 136),
    ROW(CMPIObjectPathFT, getParameterQualifier, 144),
    ROW(CMPIObjectPathFT, toString, 152),
    ROW(CMPIInstanceFT, release, 8),
    ROW(CMPIInstanceFT, clone, 16),
    ROW(CMPIInstanceFT, getProperty, 24),
    ROW(CMPIInstanceFT, getPropertyAt, 32),
    ROW(CMPIInstanceFT, getPropertyCount, 40),
    ROW(CMPIInstanceFT, setProperty, 48),
    ROW(CMPIInstanceFT, getObjectPath, 56),
    ROW(CMPIInstanceFT, setPropertyFilter, 64),
    ROW(CMPIInstanceFT, setObjectPath, 72),
    ROW(CMPIInstanceFT, setPropertyWithOrigin, 80),
    ROW(CMPIStringFT, release, 8),
    ROW(CMPIStringFT, clone, 16),
    ROW(CMPIStringFT, getCharPtr, 24),
    ROW(CMPIArrayFT, release, 8),
    ROW(CMPIArrayFT, clone, 16),
    ROW(CMPIArrayFT, getSize, 24),
    ROW(CMPIArrayFT, getSimpleType, 32),
    ROW(CMPIArrayFT, getElementAt, 40),
    ROW(CMPIArrayFT, setElementAt, 48),
    ROW(CMPIEnumerationFT, release, 8),
    ROW(CMPIEnumerationFT, clone, 16),
    ROW(CMPIEnumerationFT, getNext, 24),
    ROW(CMPIEnumerationFT, hasNext, 32),
    ROW(CMPIEnumerationFT, toArray, 40),
    ROW(CMPIString, hdl, 0),
    ROW(CMPIString, ft, 8),
    ROW(CMPIArgs, ft, 8),
    ROW(CMPIObjectPath, ft, 8),
    ROW(CMPIInstance, ft, 8),
    ROW(CMPIArray, ft, 8),
    ROW(CMPIResult, ft, 8),
    ROW(CMPIEnumeration, ft, 8),
    ROW(CMPIInstanceMI, hdl, 0),
    ROW(CMPIInstanceMI, ft, 8),
    ROW(CMPIMethodMI, hdl, 0),
    ROW(CMPIMethodMI, ft, 8),
    ROW(CMPIInstanceMIFT, ftVersion, 0),
    ROW(CMPIInstanceMIFT, miVersion, 4),
    ROW(CMPIInstanceMIFT, miName, 8),
    ROW(CMPIInstanceMIFT, cleanup, 16),
    ROW(CMPIInstanceMIFT, enumerateInstanceNames, 24),
    ROW(CMPIInstanceMIFT, enumerateInstances, 32),
    ROW(CMPIInstanceMIFT, getInstance, 40),
    ROW(CMPIInstanceMIFT, createInstance, 48),
    ROW(CMPIInstanceMIFT, modifyInstance, 56),
    ROW(CMPIInstanceMIFT, deleteInstance, 64),
    ROW(CMPIInstanceMIFT, execQuery, 72),
    ROW(CMPIMethodMIFT, ftVersion, 0),
    ROW(CMPIMethodMIFT, miVersion, 4),
    ROW(CMPIMethodMIFT, miName, 8),
    ROW(CMPIMethodMIFT, cleanup, 16),
    ROW(CMPIMethodMIFT, invokeMethod, 24),
};

#undef ROW

TEST(CmpiLayout, MembersSitAtTheOffsetsBrokersUse) {
    for (const Offset& row : kOffsets) {
        EXPECT_EQ(row.actual, row.expected) << row.member;
    }
}

TEST(CmpiLayout, SizesOfValuesPassedByValue) {
    EXPECT_EQ(sizeof(CMPIValue), 16u);
    EXPECT_EQ(alignof(CMPIValue), 8u);
    EXPECT_EQ(sizeof(CMPIData), 24u);
    EXPECT_EQ(sizeof(CMPIStatus), 16u);
    EXPECT_EQ(sizeof(CMPIrc), 4u);
    EXPECT_EQ(sizeof(CMPIType), 2u);
    EXPECT_EQ(sizeof(CMPIValueState), 2u);
    EXPECT_EQ(sizeof(CMPIBoolean), 1u);
    EXPECT_EQ(sizeof(CMPICount), 4u);
    EXPECT_EQ(sizeof(CMPIBrokerFT), 160u);
    EXPECT_EQ(sizeof(CMPIInstanceMIFT), 80u);
    EXPECT_EQ(sizeof(CMPIMethodMIFT), 32u);
}

struct Constant {
    const char* name;
    long actual;
    long expected;
};

#define C(name, value) \
    { #name, static_cast < long>(name), value }

const Constant kConstants[] = {
    C(CMPI_RC_OK, 0),
    C(CMPI_RC_ERR_FAILED, 1),
    C(CMPI_RC_ERR_ACCESS_DENIED, 2),
    C(CMPI_RC_ERR_INVALID_NAMESPACE, 3),
    C(CMPI_RC_ERR_INVALID_PARAMETER, 4),
    C(CMPI_RC_ERR_INVALID_CLASS, 5),
    C(CMPI_RC_ERR_NOT_FOUND, 6),
    C(CMPI_RC_ERR_NOT_SUPPORTED, 7),
    C(CMPI_RC_ERR_CLASS_HAS_CHILDREN, 8),
    C(CMPI_RC_ERR_CLASS_HAS_INSTANCES, 9),
    C(CMPI_RC_ERR_INVALID_SUPERCLASS, 10),
    C(CMPI_RC_ERR_ALREADY_EXISTS, 11),
    C(CMPI_RC_ERR_NO_SUCH_PROPERTY, 12),
    C(CMPI_RC_ERR_TYPE_MISMATCH, 13),
    C(CMPI_RC_ERR_QUERY_LANGUAGE_NOT_SUPPORTED, 14),
    C(CMPI_RC_ERR_INVALID_QUERY, 15),
    C(CMPI_RC_ERR_METHOD_NOT_AVAILABLE, 16),
    C(CMPI_RC_ERR_METHOD_NOT_FOUND, 17),
    C(CMPI_RC_DO_NOT_UNLOAD, 50),
    C(CMPI_RC_NEVER_UNLOAD, 51),
    C(CMPI_RC_ERR_INVALID_HANDLE, 60),
    C(CMPI_RC_ERR_INVALID_DATA_TYPE, 61),
    C(CMPI_RC_ERROR_SYSTEM, 100),
    C(CMPI_RC_ERROR, 200),
    C(CMPI_null, 0),
    C(CMPI_boolean, 0x2),
    C(CMPI_char16, 0x3),
    C(CMPI_real32, 0x8),
    C(CMPI_real64, 0xC),
    C(CMPI_uint8, 0x80),
    C(CMPI_uint16, 0x90),
    C(CMPI_uint32, 0xA0),
    C(CMPI_uint64, 0xB0),
    C(CMPI_sint8, 0xC0),
    C(CMPI_sint16, 0xD0),
    C(CMPI_sint32, 0xE0),
    C(CMPI_sint64, 0xF0),
    C(CMPI_instance, 0x1000),
    C(CMPI_ref, 0x1100),
    C(CMPI_args, 0x1200),
    C(CMPI_class, 0x1300),
    C(CMPI_filter, 0x1400),
    C(CMPI_enumeration, 0x1500),
    C(CMPI_string, 0x1600),
    C(CMPI_chars, 0x1700),
    C(CMPI_dateTime, 0x1800),
    C(CMPI_ptr, 0x1900),
    C(CMPI_charsptr, 0x1A00),
    C(CMPI_ARRAY, 0x2000),
    C(CMPI_SIMPLE, 0x2),
    C(CMPI_REAL, 0x8),
    C(CMPI_UINT, 0x80),
    C(CMPI_SINT, 0xC0),
    C(CMPI_INTEGER, 0xC0),
    C(CMPI_ENC, 0x1000),
    C(CMPI_stringA, 0x3600),
    C(CMPI_charsA, 0x3700),
    C(CMPI_booleanA, 0x2002),
    C(CMPI_uint32A, 0x20A0),
    C(CMPI_sint32A, 0x20E0),
    C(CMPI_refA, 0x3100),
    C(CMPI_instanceA, 0x3000),
    C(CMPI_goodValue, 0),
    C(CMPI_nullValue, 0x100),
    C(CMPI_keyValue, 0x200),
    C(CMPI_notFound, 0x400),
    C(CMPI_badValue, 0x8000),
    C(VYN_CMPI_MI_VERSION, 200),
};

#undef C

TEST(CmpiLayout, ConstantsHaveTheirPublishedValues) {
    for (const Constant& c : kConstants) {
        EXPECT_EQ(c.actual, c.expected) << c.name;
    }
}

}  // namespace
