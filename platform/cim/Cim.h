#ifndef VYN_PLATFORM_CIM_CIM_H
#define VYN_PLATFORM_CIM_CIM_H

// The whole public interface of the CIM-XML layer in one include.
#include "platform/cim/CIMClient.h"
#include "platform/cim/CIMInstance.h"
#include "platform/cim/CIMListener.h"
#include "platform/cim/CIMObjectPath.h"
#include "platform/cim/CIMTypes.h"
#include "platform/cim/CIMValue.h"
#include "platform/cim/Exception.h"
#include "platform/cim/OperationContext.h"
#include "platform/cim/SSLContext.h"
#include "platform/cim/System.h"

#endif
