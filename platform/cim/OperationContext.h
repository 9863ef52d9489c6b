#ifndef VYN_PLATFORM_CIM_OPERATIONCONTEXT_H
#define VYN_PLATFORM_CIM_OPERATIONCONTEXT_H

namespace cimxml {

// Handed to consumers with each indication; carries nothing here.
class OperationContext {};

}  // namespace cimxml

#endif
