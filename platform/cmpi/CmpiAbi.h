#ifndef VYN_PLATFORM_CMPI_CMPIABI_H
#define VYN_PLATFORM_CMPI_CMPIABI_H

/*
 * The C binary interface between a CIM broker and a CMPI provider library,
 * declared from the published CMPI 2.0 interface. Member order and widths are
 * what brokers compile against; the size checks at the end pin the LP64 layout.
 * Tables that the library only passes through are declared for the layout;
 * the objects it never touches stay incomplete types.
 */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char CMPIBoolean;
typedef unsigned short CMPIChar16;
typedef unsigned char CMPIUint8;
typedef unsigned short CMPIUint16;
typedef unsigned int CMPIUint32;
typedef unsigned long long CMPIUint64;
typedef signed char CMPISint8;
typedef short CMPISint16;
typedef int CMPISint32;
typedef long long CMPISint64;
typedef float CMPIReal32;
typedef double CMPIReal64;
typedef unsigned int CMPICount;
typedef unsigned int CMPIFlags;
typedef unsigned short CMPIType;
typedef unsigned short CMPIValueState;

typedef enum CMPIrc {
    CMPI_RC_OK = 0,
    CMPI_RC_ERR_FAILED = 1,
    CMPI_RC_ERR_ACCESS_DENIED = 2,
    CMPI_RC_ERR_INVALID_NAMESPACE = 3,
    CMPI_RC_ERR_INVALID_PARAMETER = 4,
    CMPI_RC_ERR_INVALID_CLASS = 5,
    CMPI_RC_ERR_NOT_FOUND = 6,
    CMPI_RC_ERR_NOT_SUPPORTED = 7,
    CMPI_RC_ERR_CLASS_HAS_CHILDREN = 8,
    CMPI_RC_ERR_CLASS_HAS_INSTANCES = 9,
    CMPI_RC_ERR_INVALID_SUPERCLASS = 10,
    CMPI_RC_ERR_ALREADY_EXISTS = 11,
    CMPI_RC_ERR_NO_SUCH_PROPERTY = 12,
    CMPI_RC_ERR_TYPE_MISMATCH = 13,
    CMPI_RC_ERR_QUERY_LANGUAGE_NOT_SUPPORTED = 14,
    CMPI_RC_ERR_INVALID_QUERY = 15,
    CMPI_RC_ERR_METHOD_NOT_AVAILABLE = 16,
    CMPI_RC_ERR_METHOD_NOT_FOUND = 17,
    CMPI_RC_DO_NOT_UNLOAD = 50,
    CMPI_RC_NEVER_UNLOAD = 51,
    CMPI_RC_ERR_INVALID_HANDLE = 60,
    CMPI_RC_ERR_INVALID_DATA_TYPE = 61,
    CMPI_RC_ERROR_SYSTEM = 100,
    CMPI_RC_ERROR = 200
} CMPIrc;

/* Type codes */
#define CMPI_null ((CMPIType)0)
#define CMPI_SIMPLE ((CMPIType)0x0002)
#define CMPI_boolean ((CMPIType)0x0002)
#define CMPI_char16 ((CMPIType)0x0003)
#define CMPI_REAL ((CMPIType)0x0008)
#define CMPI_real32 ((CMPIType)0x0008)
#define CMPI_real64 ((CMPIType)0x000C)
#define CMPI_UINT ((CMPIType)0x0080)
#define CMPI_uint8 ((CMPIType)0x0080)
#define CMPI_uint16 ((CMPIType)0x0090)
#define CMPI_uint32 ((CMPIType)0x00A0)
#define CMPI_uint64 ((CMPIType)0x00B0)
#define CMPI_SINT ((CMPIType)0x00C0)
#define CMPI_sint8 ((CMPIType)0x00C0)
#define CMPI_sint16 ((CMPIType)0x00D0)
#define CMPI_sint32 ((CMPIType)0x00E0)
#define CMPI_sint64 ((CMPIType)0x00F0)
#define CMPI_INTEGER ((CMPIType)0x00C0)
#define CMPI_ENC ((CMPIType)0x1000)
#define CMPI_instance ((CMPIType)0x1000)
#define CMPI_ref ((CMPIType)0x1100)
#define CMPI_args ((CMPIType)0x1200)
#define CMPI_class ((CMPIType)0x1300)
#define CMPI_filter ((CMPIType)0x1400)
#define CMPI_enumeration ((CMPIType)0x1500)
#define CMPI_string ((CMPIType)0x1600)
#define CMPI_chars ((CMPIType)0x1700)
#define CMPI_dateTime ((CMPIType)0x1800)
#define CMPI_ptr ((CMPIType)0x1900)
#define CMPI_charsptr ((CMPIType)0x1A00)
#define CMPI_ARRAY ((CMPIType)0x2000)

#define CMPI_instanceA ((CMPIType)(CMPI_ARRAY | CMPI_instance))
#define CMPI_refA ((CMPIType)(CMPI_ARRAY | CMPI_ref))
#define CMPI_booleanA ((CMPIType)(CMPI_ARRAY | CMPI_boolean))
#define CMPI_uint32A ((CMPIType)(CMPI_ARRAY | CMPI_uint32))
#define CMPI_sint32A ((CMPIType)(CMPI_ARRAY | CMPI_sint32))
#define CMPI_stringA ((CMPIType)(CMPI_ARRAY | CMPI_string))
#define CMPI_charsA ((CMPIType)(CMPI_ARRAY | CMPI_chars))

/* Value states: a bit set, "good" means none of null, notFound and bad. */
#define CMPI_goodValue ((CMPIValueState)0)
#define CMPI_nullValue ((CMPIValueState)0x0100)
#define CMPI_keyValue ((CMPIValueState)0x0200)
#define CMPI_notFound ((CMPIValueState)0x0400)
#define CMPI_badValue ((CMPIValueState)0x8000)

typedef struct CMPIBroker CMPIBroker;
typedef struct CMPIContext CMPIContext;
typedef struct CMPIResult CMPIResult;
typedef struct CMPIArgs CMPIArgs;
typedef struct CMPIObjectPath CMPIObjectPath;
typedef struct CMPIInstance CMPIInstance;
typedef struct CMPIString CMPIString;
typedef struct CMPIArray CMPIArray;
typedef struct CMPIEnumeration CMPIEnumeration;
typedef struct CMPIDateTime CMPIDateTime;
typedef struct CMPISelectExp CMPISelectExp;
typedef struct CMPIError CMPIError;
typedef struct CMPIBrokerExtFT CMPIBrokerExtFT;
typedef struct CMPIBrokerMemFT CMPIBrokerMemFT;
typedef struct CMPIInstanceMI CMPIInstanceMI;
typedef struct CMPIMethodMI CMPIMethodMI;
typedef void* CMPIMsgFileHandle;

typedef struct CMPIValuePtr {
    void* ptr;
    CMPICount length;
} CMPIValuePtr;

typedef union CMPIValue {
    CMPIUint64 uint64;
    CMPIUint32 uint32;
    CMPIUint16 uint16;
    CMPIUint8 uint8;
    CMPISint64 sint64;
    CMPISint32 sint32;
    CMPISint16 sint16;
    CMPISint8 sint8;
    CMPIReal64 real64;
    CMPIReal32 real32;
    CMPIBoolean boolean;
    CMPIChar16 char16;
    CMPIInstance* inst;
    CMPIObjectPath* ref;
    CMPIArgs* args;
    CMPISelectExp* filter;
    CMPIEnumeration* Enum;
    CMPIArray* array;
    CMPIString* string;
    char* chars;
    CMPIDateTime* dateTime;
    CMPIValuePtr dataPtr;
} CMPIValue;

typedef struct CMPIData {
    CMPIType type;
    CMPIValueState state;
    CMPIValue value;
} CMPIData;

typedef struct CMPIStatus {
    CMPIrc rc;
    CMPIString* msg;
} CMPIStatus;

/* Broker services */

typedef struct CMPIBrokerFT {
    unsigned int brokerCapabilities;
    unsigned int brokerVersion;
    const char* brokerName;
    CMPIContext* (*prepareAttachThread)(const CMPIBroker*, const CMPIContext*);
    CMPIStatus (*attachThread)(const CMPIBroker*, const CMPIContext*);
    CMPIStatus (*detachThread)(const CMPIBroker*, const CMPIContext*);
    CMPIStatus (*deliverIndication)(const CMPIBroker*, const CMPIContext*, const char* ns,
                                    const CMPIInstance*);
    CMPIEnumeration* (*enumerateInstanceNames)(const CMPIBroker*, const CMPIContext*,
                                               const CMPIObjectPath*, CMPIStatus*);
    CMPIInstance* (*getInstance)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                                 const char** props, CMPIStatus*);
    CMPIObjectPath* (*createInstance)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                                      const CMPIInstance*, CMPIStatus*);
    CMPIStatus (*modifyInstance)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                                 const CMPIInstance*, const char** props);
    CMPIStatus (*deleteInstance)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*);
    CMPIEnumeration* (*execQuery)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                                  const char* query, const char* lang, CMPIStatus*);
    CMPIEnumeration* (*enumerateInstances)(const CMPIBroker*, const CMPIContext*,
                                           const CMPIObjectPath*, const char** props, CMPIStatus*);
    CMPIEnumeration* (*associators)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                                    const char* assocClass, const char* resultClass,
                                    const char* role, const char* resultRole, const char** props,
                                    CMPIStatus*);
    CMPIEnumeration* (*associatorNames)(const CMPIBroker*, const CMPIContext*,
                                        const CMPIObjectPath*, const char* assocClass,
                                        const char* resultClass, const char* role,
                                        const char* resultRole, CMPIStatus*);
    CMPIEnumeration* (*references)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                                   const char* resultClass, const char* role, const char** props,
                                   CMPIStatus*);
    CMPIEnumeration* (*referenceNames)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                                       const char* resultClass, const char* role, CMPIStatus*);
    CMPIData (*invokeMethod)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                             const char* method, const CMPIArgs* in, CMPIArgs* out, CMPIStatus*);
    CMPIStatus (*setProperty)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                              const char* name, const CMPIValue*, CMPIType);
    CMPIData (*getProperty)(const CMPIBroker*, const CMPIContext*, const CMPIObjectPath*,
                            const char* name, CMPIStatus*);
} CMPIBrokerFT;

typedef struct CMPIBrokerEncFT {
    int ftVersion;
    CMPIInstance* (*newInstance)(const CMPIBroker*, const CMPIObjectPath*, CMPIStatus*);
    CMPIObjectPath* (*newObjectPath)(const CMPIBroker*, const char* ns, const char* cn,
                                     CMPIStatus*);
    CMPIArgs* (*newArgs)(const CMPIBroker*, CMPIStatus*);
    CMPIString* (*newString)(const CMPIBroker*, const char*, CMPIStatus*);
    CMPIArray* (*newArray)(const CMPIBroker*, CMPICount max, CMPIType elementType, CMPIStatus*);
    CMPIDateTime* (*newDateTime)(const CMPIBroker*, CMPIStatus*);
    CMPIDateTime* (*newDateTimeFromBinary)(const CMPIBroker*, CMPIUint64, CMPIBoolean interval,
                                           CMPIStatus*);
    CMPIDateTime* (*newDateTimeFromChars)(const CMPIBroker*, const char*, CMPIStatus*);
    CMPISelectExp* (*newSelectExp)(const CMPIBroker*, const char* query, const char* lang,
                                   CMPIArray** projection, CMPIStatus*);
    CMPIBoolean (*classPathIsA)(const CMPIBroker*, const CMPIObjectPath*, const char* className,
                                CMPIStatus*);
    CMPIString* (*toString)(const CMPIBroker*, const void* obj, CMPIStatus*);
    CMPIBoolean (*isOfType)(const CMPIBroker*, const void* obj, const char* type, CMPIStatus*);
    CMPIString* (*getType)(const CMPIBroker*, const void* obj, CMPIStatus*);
    CMPIString* (*getMessage)(const CMPIBroker*, const char* msgId, const char* defMsg, CMPIStatus*,
                              CMPICount count, ...);
    CMPIStatus (*logMessage)(const CMPIBroker*, int severity, const char* id, const char* text,
                             const CMPIString*);
    CMPIStatus (*trace)(const CMPIBroker*, int level, const char* component, const char* text,
                        const CMPIString*);
    /* CMPI 2.0 additions: absent from brokers that offer only 1.0 services. */
    CMPIError* (*newCMPIError)(const CMPIBroker*, const char* owner, const char* msgId,
                               const char* msg, int severity, int probableCause, CMPIrc cimStatus,
                               CMPIStatus*);
    CMPIStatus (*openMessageFile)(const CMPIBroker*, const char* msgFile, CMPIMsgFileHandle*);
    CMPIStatus (*closeMessageFile)(const CMPIBroker*, const CMPIMsgFileHandle);
    CMPIString* (*getMessage2)(const CMPIBroker*, const char* msgId, const CMPIMsgFileHandle,
                               const char* defMsg, CMPIStatus*, CMPICount count, ...);
} CMPIBrokerEncFT;

struct CMPIBroker {
    void* hdl;
    CMPIBrokerFT* bft;
    CMPIBrokerEncFT* eft;
    CMPIBrokerExtFT* xft;
    CMPIBrokerMemFT* mft;
};

/* Encapsulated objects: { hdl private to the maker, ft } */

typedef struct CMPIContextFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIContext*);
    CMPIContext* (*clone)(const CMPIContext*, CMPIStatus*);
    CMPIData (*getEntry)(const CMPIContext*, const char* name, CMPIStatus*);
    CMPIData (*getEntryAt)(const CMPIContext*, CMPICount i, CMPIString** name, CMPIStatus*);
    CMPICount (*getEntryCount)(const CMPIContext*, CMPIStatus*);
    CMPIStatus (*addEntry)(const CMPIContext*, const char* name, const CMPIValue*, CMPIType);
} CMPIContextFT;

struct CMPIContext {
    void* hdl;
    CMPIContextFT* ft;
};

typedef struct CMPIResultFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIResult*);
    CMPIResult* (*clone)(const CMPIResult*, CMPIStatus*);
    CMPIStatus (*returnData)(const CMPIResult*, const CMPIValue*, CMPIType);
    CMPIStatus (*returnInstance)(const CMPIResult*, const CMPIInstance*);
    CMPIStatus (*returnObjectPath)(const CMPIResult*, const CMPIObjectPath*);
    CMPIStatus (*returnDone)(const CMPIResult*);
    CMPIStatus (*returnError)(const CMPIResult*, const CMPIError*);
} CMPIResultFT;

struct CMPIResult {
    void* hdl;
    CMPIResultFT* ft;
};

typedef struct CMPIArgsFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIArgs*);
    CMPIArgs* (*clone)(const CMPIArgs*, CMPIStatus*);
    CMPIStatus (*addArg)(const CMPIArgs*, const char* name, const CMPIValue*, CMPIType);
    CMPIData (*getArg)(const CMPIArgs*, const char* name, CMPIStatus*);
    CMPIData (*getArgAt)(const CMPIArgs*, CMPICount i, CMPIString** name, CMPIStatus*);
    CMPICount (*getArgCount)(const CMPIArgs*, CMPIStatus*);
} CMPIArgsFT;

struct CMPIArgs {
    void* hdl;
    CMPIArgsFT* ft;
};

typedef struct CMPIObjectPathFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIObjectPath*);
    CMPIObjectPath* (*clone)(const CMPIObjectPath*, CMPIStatus*);
    CMPIStatus (*setNameSpace)(CMPIObjectPath*, const char*);
    CMPIString* (*getNameSpace)(const CMPIObjectPath*, CMPIStatus*);
    CMPIStatus (*setHostname)(CMPIObjectPath*, const char*);
    CMPIString* (*getHostname)(const CMPIObjectPath*, CMPIStatus*);
    CMPIStatus (*setClassName)(CMPIObjectPath*, const char*);
    CMPIString* (*getClassName)(const CMPIObjectPath*, CMPIStatus*);
    CMPIStatus (*addKey)(CMPIObjectPath*, const char* name, const CMPIValue*, CMPIType);
    CMPIData (*getKey)(const CMPIObjectPath*, const char* name, CMPIStatus*);
    CMPIData (*getKeyAt)(const CMPIObjectPath*, CMPICount i, CMPIString** name, CMPIStatus*);
    CMPICount (*getKeyCount)(const CMPIObjectPath*, CMPIStatus*);
    CMPIStatus (*setNameSpaceFromObjectPath)(CMPIObjectPath*, const CMPIObjectPath* src);
    CMPIStatus (*setHostAndNameSpaceFromObjectPath)(CMPIObjectPath*, const CMPIObjectPath* src);
    CMPIData (*getClassQualifier)(const CMPIObjectPath*, const char* qualifier, CMPIStatus*);
    CMPIData (*getPropertyQualifier)(const CMPIObjectPath*, const char* prop, const char* qualifier,
                                     CMPIStatus*);
    CMPIData (*getMethodQualifier)(const CMPIObjectPath*, const char* method, const char* qualifier,
                                   CMPIStatus*);
    CMPIData (*getParameterQualifier)(const CMPIObjectPath*, const char* method, const char* param,
                                      const char* qualifier, CMPIStatus*);
    CMPIString* (*toString)(const CMPIObjectPath*, CMPIStatus*);
} CMPIObjectPathFT;

struct CMPIObjectPath {
    void* hdl;
    CMPIObjectPathFT* ft;
};

typedef struct CMPIInstanceFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIInstance*);
    CMPIInstance* (*clone)(const CMPIInstance*, CMPIStatus*);
    CMPIData (*getProperty)(const CMPIInstance*, const char* name, CMPIStatus*);
    CMPIData (*getPropertyAt)(const CMPIInstance*, CMPICount i, CMPIString** name, CMPIStatus*);
    CMPICount (*getPropertyCount)(const CMPIInstance*, CMPIStatus*);
    CMPIStatus (*setProperty)(const CMPIInstance*, const char* name, const CMPIValue*, CMPIType);
    CMPIObjectPath* (*getObjectPath)(const CMPIInstance*, CMPIStatus*);
    CMPIStatus (*setPropertyFilter)(CMPIInstance*, const char** propertyList, const char** keys);
    CMPIStatus (*setObjectPath)(CMPIInstance*, const CMPIObjectPath*);
    CMPIStatus (*setPropertyWithOrigin)(const CMPIInstance*, const char* name, const CMPIValue*,
                                        CMPIType, const char* origin);
} CMPIInstanceFT;

struct CMPIInstance {
    void* hdl;
    CMPIInstanceFT* ft;
};

typedef struct CMPIStringFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIString*);
    CMPIString* (*clone)(const CMPIString*, CMPIStatus*);
    const char* (*getCharPtr)(const CMPIString*, CMPIStatus*);
} CMPIStringFT;

struct CMPIString {
    void* hdl;
    CMPIStringFT* ft;
};

typedef struct CMPIArrayFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIArray*);
    CMPIArray* (*clone)(const CMPIArray*, CMPIStatus*);
    CMPICount (*getSize)(const CMPIArray*, CMPIStatus*);
    CMPIType (*getSimpleType)(const CMPIArray*, CMPIStatus*);
    CMPIData (*getElementAt)(const CMPIArray*, CMPICount i, CMPIStatus*);
    CMPIStatus (*setElementAt)(CMPIArray*, CMPICount i, const CMPIValue*, CMPIType);
} CMPIArrayFT;

struct CMPIArray {
    void* hdl;
    CMPIArrayFT* ft;
};

typedef struct CMPIEnumerationFT {
    int ftVersion;
    CMPIStatus (*release)(CMPIEnumeration*);
    CMPIEnumeration* (*clone)(const CMPIEnumeration*, CMPIStatus*);
    CMPIData (*getNext)(const CMPIEnumeration*, CMPIStatus*);
    CMPIBoolean (*hasNext)(const CMPIEnumeration*, CMPIStatus*);
    CMPIArray* (*toArray)(const CMPIEnumeration*, CMPIStatus*);
} CMPIEnumerationFT;

struct CMPIEnumeration {
    void* hdl;
    CMPIEnumerationFT* ft;
};

/* Provider side: the records and function tables the library hands out. */

typedef struct CMPIInstanceMIFT {
    int ftVersion;
    int miVersion;
    const char* miName;
    CMPIStatus (*cleanup)(CMPIInstanceMI*, const CMPIContext*, CMPIBoolean terminating);
    CMPIStatus (*enumerateInstanceNames)(CMPIInstanceMI*, const CMPIContext*, const CMPIResult*,
                                         const CMPIObjectPath*);
    CMPIStatus (*enumerateInstances)(CMPIInstanceMI*, const CMPIContext*, const CMPIResult*,
                                     const CMPIObjectPath*, const char** props);
    CMPIStatus (*getInstance)(CMPIInstanceMI*, const CMPIContext*, const CMPIResult*,
                              const CMPIObjectPath*, const char** props);
    CMPIStatus (*createInstance)(CMPIInstanceMI*, const CMPIContext*, const CMPIResult*,
                                 const CMPIObjectPath*, const CMPIInstance*);
    CMPIStatus (*modifyInstance)(CMPIInstanceMI*, const CMPIContext*, const CMPIResult*,
                                 const CMPIObjectPath*, const CMPIInstance*, const char** props);
    CMPIStatus (*deleteInstance)(CMPIInstanceMI*, const CMPIContext*, const CMPIResult*,
                                 const CMPIObjectPath*);
    CMPIStatus (*execQuery)(CMPIInstanceMI*, const CMPIContext*, const CMPIResult*,
                            const CMPIObjectPath*, const char* query, const char* lang);
} CMPIInstanceMIFT;

struct CMPIInstanceMI {
    void* hdl;
    CMPIInstanceMIFT* ft;
};

typedef struct CMPIMethodMIFT {
    int ftVersion;
    int miVersion;
    const char* miName;
    CMPIStatus (*cleanup)(CMPIMethodMI*, const CMPIContext*, CMPIBoolean terminating);
    CMPIStatus (*invokeMethod)(CMPIMethodMI*, const CMPIContext*, const CMPIResult*,
                               const CMPIObjectPath*, const char* method, const CMPIArgs* in,
                               CMPIArgs* out);
} CMPIMethodMIFT;

struct CMPIMethodMI {
    void* hdl;
    CMPIMethodMIFT* ft;
};

/* The version written into both MI tables (CMPI 2.0). */
#define VYN_CMPI_MI_VERSION 200

#ifdef __cplusplus
#define VYN_CMPI_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#define VYN_CMPI_ALIGNOF(type) alignof(type)
#else
#define VYN_CMPI_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#define VYN_CMPI_ALIGNOF(type) _Alignof(type)
#endif

/* Widths of the scalars every table passes. */
VYN_CMPI_STATIC_ASSERT(sizeof(CMPIBoolean) == 1 && sizeof(CMPIUint8) == 1 && sizeof(CMPISint8) == 1,
                       "8-bit CMPI scalars");
VYN_CMPI_STATIC_ASSERT(sizeof(CMPIChar16) == 2 && sizeof(CMPIUint16) == 2 &&
                           sizeof(CMPISint16) == 2 && sizeof(CMPIType) == 2 &&
                           sizeof(CMPIValueState) == 2,
                       "16-bit CMPI scalars");
VYN_CMPI_STATIC_ASSERT(sizeof(CMPIUint32) == 4 && sizeof(CMPISint32) == 4 &&
                           sizeof(CMPICount) == 4 && sizeof(CMPIFlags) == 4 &&
                           sizeof(CMPIReal32) == 4 && sizeof(CMPIrc) == 4,
                       "32-bit CMPI scalars; CMPIrc is a 4-byte enum");
VYN_CMPI_STATIC_ASSERT(sizeof(CMPIUint64) == 8 && sizeof(CMPISint64) == 8 &&
                           sizeof(CMPIReal64) == 8,
                       "64-bit CMPI scalars");

/*
 * The LP64 layout brokers are compiled with: values passed by value, the
 * broker record, and the size of every function table (a slot added or lost
 * moves all that follow). Slot order is checked member by member by the
 * layout tests.
 */
#if defined(__LP64__)
#define VYN_CMPI_AT(type, member, off) \
    VYN_CMPI_STATIC_ASSERT(offsetof(type, member) == (off), #type "." #member " at " #off)
#define VYN_CMPI_SIZE(type, size) VYN_CMPI_STATIC_ASSERT(sizeof(type) == (size), #type " size")

VYN_CMPI_SIZE(CMPIValue, 16);
VYN_CMPI_STATIC_ASSERT(VYN_CMPI_ALIGNOF(CMPIValue) == 8, "CMPIValue is aligned to 8");
VYN_CMPI_SIZE(CMPIData, 24);
VYN_CMPI_AT(CMPIData, type, 0);
VYN_CMPI_AT(CMPIData, state, 2);
VYN_CMPI_AT(CMPIData, value, 8);
VYN_CMPI_SIZE(CMPIStatus, 16);
VYN_CMPI_AT(CMPIStatus, rc, 0);
VYN_CMPI_AT(CMPIStatus, msg, 8);
VYN_CMPI_SIZE(CMPIBroker, 40);
VYN_CMPI_AT(CMPIBroker, bft, 8);
VYN_CMPI_AT(CMPIBroker, eft, 16);
VYN_CMPI_AT(CMPIBroker, xft, 24);
VYN_CMPI_AT(CMPIBroker, mft, 32);

VYN_CMPI_SIZE(CMPIBrokerFT, 160);
VYN_CMPI_AT(CMPIBrokerFT, brokerVersion, 4);
VYN_CMPI_AT(CMPIBrokerFT, brokerName, 8);
VYN_CMPI_AT(CMPIBrokerFT, getProperty, 152);
VYN_CMPI_SIZE(CMPIBrokerEncFT, 168);
VYN_CMPI_AT(CMPIBrokerEncFT, newInstance, 8);
VYN_CMPI_AT(CMPIBrokerEncFT, classPathIsA, 80);
VYN_CMPI_AT(CMPIBrokerEncFT, trace, 128);
VYN_CMPI_SIZE(CMPIContextFT, 56);
VYN_CMPI_SIZE(CMPIResultFT, 64);
VYN_CMPI_SIZE(CMPIArgsFT, 56);
VYN_CMPI_SIZE(CMPIObjectPathFT, 160);
VYN_CMPI_SIZE(CMPIInstanceFT, 88);
VYN_CMPI_SIZE(CMPIStringFT, 32);
VYN_CMPI_SIZE(CMPIArrayFT, 56);
VYN_CMPI_SIZE(CMPIEnumerationFT, 48);

VYN_CMPI_SIZE(CMPIInstanceMIFT, 80);
VYN_CMPI_AT(CMPIInstanceMIFT, miVersion, 4);
VYN_CMPI_AT(CMPIInstanceMIFT, miName, 8);
VYN_CMPI_AT(CMPIInstanceMIFT, cleanup, 16);
VYN_CMPI_AT(CMPIInstanceMIFT, execQuery, 72);
VYN_CMPI_SIZE(CMPIMethodMIFT, 32);
VYN_CMPI_AT(CMPIMethodMIFT, miVersion, 4);
VYN_CMPI_AT(CMPIMethodMIFT, miName, 8);
VYN_CMPI_AT(CMPIMethodMIFT, cleanup, 16);
VYN_CMPI_AT(CMPIMethodMIFT, invokeMethod, 24);

/* Every encapsulated object and MI record: { hdl at 0, ft at 8 }. */
VYN_CMPI_SIZE(CMPIContext, 16);
VYN_CMPI_SIZE(CMPIResult, 16);
VYN_CMPI_SIZE(CMPIArgs, 16);
VYN_CMPI_SIZE(CMPIObjectPath, 16);
VYN_CMPI_SIZE(CMPIInstance, 16);
VYN_CMPI_SIZE(CMPIString, 16);
VYN_CMPI_SIZE(CMPIArray, 16);
VYN_CMPI_SIZE(CMPIEnumeration, 16);
VYN_CMPI_SIZE(CMPIInstanceMI, 16);
VYN_CMPI_SIZE(CMPIMethodMI, 16);
VYN_CMPI_AT(CMPIInstanceMI, ft, 8);
VYN_CMPI_AT(CMPIMethodMI, ft, 8);

#undef VYN_CMPI_AT
#undef VYN_CMPI_SIZE
#endif

#ifdef __cplusplus
}
#endif

#endif
