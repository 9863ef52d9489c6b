#ifndef VYN_CIMPROV_FILEPROVIDER_H
#define VYN_CIMPROV_FILEPROVIDER_H

#include "cimprov/ProviderInstance.h"
#include "listener/osal/Tov.h"

// "VYN_FileProvider": moves files between management clients and the host's
// temporary directory (reads also from its log directory), contents as Base64
// text. The methods take no lock: each works only on its own arguments and the
// file system.
class FileProvider : public ServedInstanceProvider {
public:
    FileProvider(const CmpiBroker& broker, const CmpiContext& ctx);
    ~FileProvider() override;

    CmpiStatus initialize(const CmpiContext& ctx) override;
    CmpiStatus cleanup(CmpiContext& ctx, bool terminating) override;

    CmpiStatus invokeMethod(const CmpiContext& ctx, CmpiResult& rslt, const CmpiObjectPath& cop,
                            const char* method, const CmpiArgs& in, CmpiArgs& out) override;

    CmpiStatus createFile(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt);
    CmpiStatus createSequencedFiles(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt);
    CmpiStatus appendFile(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt);
    CmpiStatus readFile(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt);
    CmpiStatus deleteFile(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt);
    CmpiStatus listDirectory(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt);

private:
    // Created and deleted with the provider object; no method locks it.
    static TovMutexHandle m_MethodMutex;
};

#endif
