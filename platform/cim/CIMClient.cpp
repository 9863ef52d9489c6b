#include "platform/cim/CIMClient.h"

#include "platform/cim/CimXml.h"
#include "platform/cim/Exception.h"
#include "platform/cim/HttpText.h"
#include "platform/cim/SSLContext.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include <cstring>

namespace cimxml {

namespace {

using http::isXmlContentType;
using http::lower;
using http::trim;

const char kInstanceMethodCreate[] = "CreateInstance";
const char kInstanceMethodDelete[] = "DeleteInstance";

struct CurlHandle {
    CURL* h = nullptr;
    CurlHandle() : h(curl_easy_init()) {}
    ~CurlHandle()
    {
        if (h)
            curl_easy_cleanup(h);
    }
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;
};

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const String& line)
    {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown)
            throw std::bad_alloc();
        list = grown;
    }
};

}  // namespace

struct CIMClient::Impl {
    CURL* handle = nullptr;
    String host;
    Uint32 port = 0;
    String trustStore;
    String user;
    String password;
    Uint32 timeoutMs = DEFAULT_TIMEOUT_MILLISECONDS;
    Uint64 nextMessageId = 1001;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // The answer of the request in progress.
    String body;
    bool bodyTooLarge = false;
    String reason;
    String cimOperation;
    String contentType;
    String cimError;

    ~Impl()
    {
        if (handle)
            curl_easy_cleanup(handle);
    }

    String where() const { return host + ":" + std::to_string(port); }
    String url() const
    {
        bool ipv6 = host.find(':') != String::npos;
        return "https://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/cimom";
    }

    void applyTransport(CURL* h);
    void applyRequestOptions();
    [[noreturn]] void throwTransport(CURLcode code) const;
    xml::Response call(const String& method, const CIMNamespaceName& ns, const String& messageId,
                       const String& body);

    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
};

void CIMClient::Impl::applyTransport(CURL* h)
{
    errorBuffer[0] = '\0';
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_URL, url().c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    if (trustStore.empty()) {
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
        return;
    }
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    struct stat st {};
    if (stat(trustStore.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        curl_easy_setopt(h, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(h, CURLOPT_CAPATH, trustStore.c_str());
    } else {
        curl_easy_setopt(h, CURLOPT_CAINFO, trustStore.c_str());
    }
}

void CIMClient::Impl::applyRequestOptions()
{
    applyTransport(handle);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(handle, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Impl::onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
}

size_t CIMClient::Impl::onHeader(char* data, size_t size, size_t count, void* self)
{
    Impl* impl = static_cast<Impl*>(self);
    String line(data, size * count);
    if (line.compare(0, 5, "HTTP/") == 0) {
        // A new status line starts a new answer (after 100 Continue, say).
        impl->reason.clear();
        impl->cimOperation.clear();
        impl->contentType.clear();
        impl->cimError.clear();
        std::size_t sp1 = line.find(' ');
        std::size_t sp2 = sp1 == String::npos ? String::npos : line.find(' ', sp1 + 1);
        if (sp2 != String::npos)
            impl->reason = trim(line.substr(sp2 + 1));
        return size * count;
    }
    std::size_t colon = line.find(':');
    if (colon == String::npos)
        return size * count;
    String name = lower(trim(line.substr(0, colon)));
    String value = trim(line.substr(colon + 1));
    if (name == "cimoperation")
        impl->cimOperation = value;
    else if (name == "content-type")
        impl->contentType = value;
    else if (name == "cimerror")
        impl->cimError = value;
    return size * count;
}

size_t CIMClient::Impl::onBody(char* data, size_t size, size_t count, void* self)
{
    Impl* impl = static_cast<Impl*>(self);
    size_t n = size * count;
    if (impl->body.size() + n > xml::MAX_BODY_BYTES) {
        impl->bodyTooLarge = true;
        return 0;
    }
    impl->body.append(data, n);
    return n;
}

void CIMClient::Impl::throwTransport(CURLcode code) const
{
    String text = errorBuffer[0] ? String(errorBuffer) : String(curl_easy_strerror(code));
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        throw CannotConnectException("Cannot connect to " + where() + ": " + text);
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        throw CannotConnectException("Connection to " + where() + " lost: " + text);
    case CURLE_OPERATION_TIMEDOUT:
        throw ConnectionTimeoutException("No response from " + where() + " within " +
                                         std::to_string(timeoutMs) + " ms");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        throw SSLException("TLS failure with " + where() + ": " + text);
    case CURLE_WEIRD_SERVER_REPLY:
        throw CIMClientMalformedHTTPException("Malformed HTTP answer from " + where() + ": " + text);
    default:
        throw Exception(text);
    }
}

xml::Response CIMClient::Impl::call(const String& method, const CIMNamespaceName& ns,
                                    const String& messageId, const String& requestBody)
{
    HeaderList headers;
    for (const String& line : xml::operationHeaders(method, ns))
        headers.add(line);

    applyRequestOptions();
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, requestBody.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(requestBody.size()));

    body.clear();
    bodyTooLarge = false;
    reason.clear();
    cimOperation.clear();
    contentType.clear();
    cimError.clear();
    CURLcode code = curl_easy_perform(handle);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);
    if (code == CURLE_WRITE_ERROR && bodyTooLarge)
        throw CIMClientMalformedHTTPException("Answer from " + where() + " is larger than 1 MiB");
    if (code != CURLE_OK)
        throwTransport(code);

    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        throw CIMClientHTTPErrorException(static_cast<Uint32>(status), reason, cimError);
    if (!equalNoCase(cimOperation, "MethodResponse"))
        throw CIMClientMalformedHTTPException("Answer from " + where() + " without CIMOperation: MethodResponse");
    if (!isXmlContentType(contentType))
        throw CIMClientMalformedHTTPException("Answer from " + where() + " with content type \"" +
                                              contentType + "\"");
    xml::Response response;
    try {
        response = xml::parseResponse(body);
    } catch (const xml::XmlError& e) {
        throw CIMClientXmlException("Bad CIM-XML answer from " + where() + ": " + e.what());
    }
    if (response.isExport)
        throw CIMClientXmlException("Bad CIM-XML answer from " + where() + ": export response to an operation");
    if (response.messageId != messageId)
        throw CIMClientResponseException("Answer MESSAGE ID \"" + response.messageId + "\" to request " + messageId);
    if (response.method != method)
        throw CIMClientResponseException("Answer for \"" + response.method + "\" to " + method);
    if (response.hasError)
        throw CIMException(response.errorCode, response.errorDescription);
    return response;
}

CIMClient::CIMClient() : impl_(new Impl) {}

CIMClient::~CIMClient() = default;

void CIMClient::connect(const String& host, Uint32 portNumber, const SSLContext& sslContext,
                        const String& userName, const String& password)
{
    if (impl_->handle)
        throw AlreadyConnectedException("Already connected to " + impl_->where());
    impl_->host = host;
    impl_->port = portNumber;
    impl_->trustStore = sslContext.getTrustStore();
    {
        // A connect-only transfer proves TCP and the TLS handshake and is
        // dropped; the request handle opens its own connection.
        CurlHandle scratch;
        if (!scratch.h)
            throw Exception("Cannot create a transfer handle");
        impl_->applyTransport(scratch.h);
        curl_easy_setopt(scratch.h, CURLOPT_CONNECT_ONLY, 1L);
        CURLcode code = curl_easy_perform(scratch.h);
        if (code != CURLE_OK)
            impl_->throwTransport(code);
    }
    CURL* handle = curl_easy_init();
    if (!handle)
        throw Exception("Cannot create a transfer handle");
    impl_->handle = handle;
    impl_->user = userName;
    impl_->password = password;
}

void CIMClient::disconnect()
{
    if (impl_->handle) {
        curl_easy_cleanup(impl_->handle);
        impl_->handle = nullptr;
    }
    impl_->password.assign(impl_->password.size(), '\0');
    impl_->password.clear();
}

void CIMClient::setTimeout(Uint32 timeoutMilliseconds) { impl_->timeoutMs = timeoutMilliseconds; }

Uint32 CIMClient::getTimeout() const { return impl_->timeoutMs; }

CIMObjectPath CIMClient::createInstance(const CIMNamespaceName& nameSpace, const CIMInstance& newInstance)
{
    if (!impl_->handle)
        throw NotConnectedException("Not connected");
    String id = std::to_string(impl_->nextMessageId++);
    xml::Response response =
        impl_->call(kInstanceMethodCreate, nameSpace, id, xml::createInstanceRequest(id, nameSpace, newInstance));
    if (!response.hasReturnValue || response.instanceNames.size() != 1)
        throw CIMClientXmlException("Bad CIM-XML answer from " + impl_->where() +
                                    ": CreateInstance without one INSTANCENAME");
    return response.instanceNames[0];
}

void CIMClient::deleteInstance(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName)
{
    if (!impl_->handle)
        throw NotConnectedException("Not connected");
    String id = std::to_string(impl_->nextMessageId++);
    xml::Response response = impl_->call(kInstanceMethodDelete, nameSpace, id,
                                         xml::deleteInstanceRequest(id, nameSpace, instanceName));
    if (!response.instanceNames.empty())
        throw CIMClientXmlException("Bad CIM-XML answer from " + impl_->where() +
                                    ": DeleteInstance returning a value");
}

}  // namespace cimxml
