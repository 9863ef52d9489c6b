#include "platform/cim/CIMListener.h"

#include "platform/cim/CIMInstance.h"
#include "platform/cim/CimXml.h"
#include "platform/cim/Exception.h"
#include "platform/cim/HttpText.h"
#include "platform/cim/OperationContext.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace cimxml {

namespace {

using http::isXmlContentType;
using http::trim;

const char kManUri[] = "http://www.dmtf.org/cim/mapping/http/v1.0";
const char kExportIndication[] = "ExportIndication";

// The header prefix an M-POST declares: "Man: <uri> ; ns=NN" gives "NN-".
bool manPrefix(const char* man, String& prefix)
{
    if (!man)
        return false;
    String value(man);
    std::size_t semicolon = value.find(';');
    if (semicolon == String::npos || trim(value.substr(0, semicolon)) != kManUri)
        return false;
    String rest = trim(value.substr(semicolon + 1));
    if (rest.compare(0, 3, "ns=") != 0)
        return false;
    String ns = trim(rest.substr(3));
    if (ns.empty() || !std::all_of(ns.begin(), ns.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    prefix = ns + "-";
    return true;
}

// A body over the cap is read and dropped up to this size, so that its
// sender, still writing, gets the 413; beyond it the connection is closed.
constexpr std::size_t kDiscardLimit = 4 * xml::MAX_BODY_BYTES;

struct RequestState {
    bool answered = false;
    bool tooLarge = false;
    std::size_t received = 0;
    String prefix;  // M-POST header prefix, "NN-"
    String body;
};

struct Answer {
    unsigned status = 200;
    String cimError;
    String body;
    bool allowPost = false;
};

void discardLog(void*, const char*, va_list) {}

}  // namespace

struct CIMListener::Impl {
    std::atomic<Uint32> port{0};
    std::mutex lifecycle;
    MHD_Daemon* daemon = nullptr;
    std::atomic<bool> alive{false};

    std::shared_mutex consumersMutex;
    std::vector<CIMIndicationConsumer*> consumers;

    Answer answerExport(MHD_Connection* c, const char* url, const RequestState& st);
    Answer dispatch(const String& url, const xml::Request& request);
    const char* header(MHD_Connection* c, const RequestState& st, const char* name) const;

    static MHD_Result onRequest(void* cls, MHD_Connection* c, const char* url, const char* method,
                                const char* version, const char* upload, size_t* uploadSize, void** conCls);
    static void onCompleted(void* cls, MHD_Connection* c, void** conCls, MHD_RequestTerminationCode toe);
    static void onConnection(void* cls, MHD_Connection* c, void** socketContext,
                             MHD_ConnectionNotificationCode toe);
};

const char* CIMListener::Impl::header(MHD_Connection* c, const RequestState& st, const char* name) const
{
    String key = st.prefix + name;
    return MHD_lookup_connection_value(c, MHD_HEADER_KIND, key.c_str());
}

Answer CIMListener::Impl::answerExport(MHD_Connection* c, const char* url, const RequestState& st)
{
    Answer a;
    a.status = 400;
    const char* cimExport = header(c, st, "CIMExport");
    if (!cimExport || String(cimExport) != "MethodRequest") {
        a.cimError = "unsupported-operation";
        return a;
    }
    if (header(c, st, "CIMExportBatch")) {
        a.status = 501;
        a.cimError = "multiple-requests-unsupported";
        return a;
    }
    const char* contentType = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Type");
    const char* exportMethod = header(c, st, "CIMExportMethod");
    if (!contentType || !isXmlContentType(contentType) || !exportMethod) {
        a.cimError = "header-mismatch";
        return a;
    }
    xml::Request request;
    try {
        request = xml::parseRequest(st.body);
    } catch (const xml::XmlError& e) {
        a.status = e.cimError() == "multiple-requests-unsupported" ? 501 : 400;
        a.cimError = e.cimError();
        return a;
    }
    if (!request.isExport) {
        a.cimError = "request-not-valid";
        return a;
    }
    if (request.method != exportMethod) {
        a.cimError = "header-mismatch";
        return a;
    }
    return dispatch(url ? url : "/", request);
}

Answer CIMListener::Impl::dispatch(const String& url, const xml::Request& request)
{
    Answer a;
    if (request.method != kExportIndication) {
        a.body = xml::exportResponse(request.messageId, request.method, CIM_ERR_NOT_SUPPORTED,
                                     "CIM_ERR_NOT_SUPPORTED: " + request.method);
        return a;
    }
    bool oneIndication = request.params.size() == 1 && equalNoCase(request.params[0].name, "NewIndication") &&
                         request.params[0].kind == xml::ParamValue::INSTANCE &&
                         request.params[0].instanceCount == 1;
    if (!oneIndication) {
        a.body = xml::exportResponse(request.messageId, request.method, CIM_ERR_INVALID_PARAMETER,
                                     "CIM_ERR_INVALID_PARAMETER: ExportIndication takes one NewIndication");
        return a;
    }
    String failure;
    {
        std::shared_lock<std::shared_mutex> lock(consumersMutex);
        OperationContext context;
        for (CIMIndicationConsumer* consumer : consumers) {
            try {
                consumer->consumeIndication(context, url, request.params[0].instance);
            } catch (const std::exception& e) {
                if (failure.empty())
                    failure = e.what();
            } catch (...) {
                if (failure.empty())
                    failure = "consumer failed";
            }
        }
    }
    if (!failure.empty())
        a.body = xml::exportResponse(request.messageId, request.method, CIM_ERR_FAILED, "CIM_ERR_FAILED: " + failure);
    else
        a.body = xml::exportResponse(request.messageId, request.method);
    return a;
}

namespace {

MHD_Result queue(MHD_Connection* c, const RequestState& st, const Answer& a)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(a.body.size(), const_cast<char*>(a.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    String cimExport = st.prefix + "CIMExport";
    MHD_add_response_header(response, cimExport.c_str(), "MethodResponse");
    if (!st.prefix.empty())
        MHD_add_response_header(response, "Ext", "");
    if (!a.cimError.empty())
        MHD_add_response_header(response, "CIMError", a.cimError.c_str());
    if (a.allowPost)
        MHD_add_response_header(response, "Allow", "POST");
    if (!a.body.empty())
        MHD_add_response_header(response, "Content-Type", "application/xml; charset=\"utf-8\"");
    MHD_Result result = MHD_queue_response(c, a.status, response);
    MHD_destroy_response(response);
    return result;
}

Answer status(unsigned code, const char* cimError = "")
{
    Answer a;
    a.status = code;
    a.cimError = cimError;
    return a;
}

}  // namespace

MHD_Result CIMListener::Impl::onRequest(void* cls, MHD_Connection* c, const char* url, const char* method,
                                        const char*, const char* upload, size_t* uploadSize, void** conCls)
{
    try {
        Impl* impl = static_cast<Impl*>(cls);
        RequestState* st = static_cast<RequestState*>(*conCls);
        if (!st) {
            st = new RequestState;
            *conCls = st;
            bool post = std::strcmp(method, "POST") == 0;
            bool mpost = std::strcmp(method, "M-POST") == 0;
            Answer early;
            if (!post && !mpost) {
                early = status(405);
                early.allowPost = true;
            } else if (mpost && !manPrefix(MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Man"), st->prefix)) {
                early = status(400, "header-mismatch");
            } else {
                const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Length");
                if (!length || std::strtoull(length, nullptr, 10) <= kDiscardLimit)
                    return MHD_YES;
                early = status(413);
            }
            st->answered = true;
            return queue(c, *st, early);
        }
        if (*uploadSize != 0) {
            st->received += *uploadSize;
            if (st->received > kDiscardLimit)
                return MHD_NO;
            if (!st->answered) {
                if (st->body.size() + *uploadSize > xml::MAX_BODY_BYTES) {
                    st->tooLarge = true;
                    st->body.clear();
                } else if (!st->tooLarge) {
                    st->body.append(upload, *uploadSize);
                }
            }
            *uploadSize = 0;
            return MHD_YES;
        }
        if (st->answered)
            return MHD_YES;
        st->answered = true;
        if (st->tooLarge)
            return queue(c, *st, status(413));
        return queue(c, *st, impl->answerExport(c, url, *st));
    } catch (...) {
        return MHD_NO;
    }
}

void CIMListener::Impl::onCompleted(void*, MHD_Connection*, void** conCls, MHD_RequestTerminationCode)
{
    delete static_cast<RequestState*>(*conCls);
    *conCls = nullptr;
}

void CIMListener::Impl::onConnection(void*, MHD_Connection* c, void**, MHD_ConnectionNotificationCode toe)
{
    if (toe != MHD_CONNECTION_NOTIFY_STARTED)
        return;
    // Answers leave in more than one write; without this Nagle and delayed
    // ACKs hold each one back by tens of milliseconds.
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info) {
        int one = 1;
        setsockopt(info->connect_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
}

CIMListener::CIMListener(Uint32 portNumber, SSLContext* sslContext) : impl_(new Impl)
{
    if (sslContext)
        throw Exception("The indication listener offers plain HTTP only");
    impl_->port = portNumber;
}

CIMListener::~CIMListener() { stop(); }

void CIMListener::addConsumer(CIMIndicationConsumer* consumer)
{
    if (!consumer)
        return;
    std::unique_lock<std::shared_mutex> lock(impl_->consumersMutex);
    if (std::find(impl_->consumers.begin(), impl_->consumers.end(), consumer) == impl_->consumers.end())
        impl_->consumers.push_back(consumer);
}

void CIMListener::removeConsumer(CIMIndicationConsumer* consumer)
{
    std::unique_lock<std::shared_mutex> lock(impl_->consumersMutex);
    impl_->consumers.erase(std::remove(impl_->consumers.begin(), impl_->consumers.end(), consumer),
                           impl_->consumers.end());
}

void CIMListener::start()
{
    std::lock_guard<std::mutex> lock(impl_->lifecycle);
    if (impl_->daemon)
        throw Exception("Listener already started on port " + std::to_string(impl_->port.load()));
    Uint32 port = impl_->port;
    auto bindFailed = [port](int err) {
        return BindFailedException("Bind failed: " + String(std::strerror(err)) + " (port " +
                                   std::to_string(port) + ")");
    };
    if (port > 65535)
        throw bindFailed(EINVAL);
    // Our own socket with SO_REUSEADDR only, so a port in use shows as EADDRINUSE.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        throw bindFailed(errno);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, SOMAXCONN) != 0) {
        int err = errno;
        close(fd);
        throw bindFailed(err);
    }
    socklen_t len = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        impl_->port = ntohs(addr.sin_port);

    impl_->daemon = MHD_start_daemon(
        MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ERROR_LOG, 0, nullptr, nullptr, &Impl::onRequest, impl_.get(),
        MHD_OPTION_LISTEN_SOCKET, fd,
        MHD_OPTION_THREAD_POOL_SIZE, 4u,
        MHD_OPTION_CONNECTION_LIMIT, 64u,
        MHD_OPTION_CONNECTION_TIMEOUT, 30u,
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::onCompleted, nullptr,
        MHD_OPTION_NOTIFY_CONNECTION, &Impl::onConnection, nullptr,
        MHD_OPTION_EXTERNAL_LOGGER, &discardLog, nullptr,
        MHD_OPTION_END);
    if (!impl_->daemon) {
        close(fd);
        throw Exception("Cannot start the indication listener on port " + std::to_string(impl_->port.load()));
    }
    impl_->alive = true;
}

void CIMListener::stop()
{
    std::lock_guard<std::mutex> lock(impl_->lifecycle);
    if (!impl_->daemon)
        return;
    // Joins every worker, so no consumer call runs after this; it also
    // closes the listening socket.
    MHD_stop_daemon(impl_->daemon);
    impl_->daemon = nullptr;
    impl_->alive = false;
}

bool CIMListener::isAlive() const { return impl_->alive; }

Uint32 CIMListener::getPortNumber() const { return impl_->port; }

}  // namespace cimxml
