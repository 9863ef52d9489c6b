#include "StandinBroker.h"

#include "platform/cim/CimXml.h"
#include "platform/cim/Exception.h"

#include <httplib.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace cimstandin {

using cimxml::CIMInstance;
using cimxml::CIMKeyBinding;
using cimxml::CIMObjectPath;
using cimxml::CIMValue;
using cimxml::equalNoCase;

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

std::string headerValue(const Headers& headers, const std::string& name)
{
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

namespace {

template <typename T, void (*Free)(T*)>
struct Owned {
    T* p = nullptr;
    explicit Owned(T* x = nullptr) : p(x) {}
    ~Owned()
    {
        if (p)
            Free(p);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};
using OwnedPkey = Owned<EVP_PKEY, EVP_PKEY_free>;
using OwnedX509 = Owned<X509, X509_free>;
using OwnedBio = Owned<BIO, BIO_free_all>;

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("OpenSSL failed: ") + what);
}

std::string bioText(BIO* bio)
{
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(n));
}

void addExtension(X509* cert, X509V3_CTX* ctx, int nid, const char* value)
{
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, ctx, nid, value);
    check(ext != nullptr, "extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

Headers fromHttplib(const httplib::Headers& in)
{
    Headers out;
    for (const auto& h : in)
        out.emplace(h.first, h.second);
    return out;
}

std::string percentDecode(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() + 0 && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isXmlContentType(const std::string& value)
{
    std::string v;
    for (char c : value)
        v += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string media = v.substr(0, v.find(';'));
    while (!media.empty() && media.back() == ' ')
        media.pop_back();
    if (media != "application/xml" && media != "text/xml")
        return false;
    std::size_t cs = v.find("charset=");
    if (cs == std::string::npos)
        return true;
    std::string charset = v.substr(cs + 8);
    return charset == "utf-8" || charset == "\"utf-8\"";
}

std::string base64(const std::string& in)
{
    std::string out(4 * ((in.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// The last non-null value of a property, as text; empty when missing.
bool propertyText(const CIMInstance& inst, const char* name, std::string& text)
{
    bool found = false;
    for (cimxml::Uint32 i = 0; i < inst.getPropertyCount(); ++i) {
        const cimxml::CIMProperty& p = inst.getProperty(i);
        if (p.getName() == name && !p.getValue().isNull() && !p.getValue().isArray()) {
            text = p.getValue().toString();
            found = true;
        }
    }
    return found;
}

// Host and namespace dropped, references alike: paths in "root/interop" are
// matched by class and keys only.
CIMObjectPath normalized(const CIMObjectPath& path)
{
    CIMObjectPath out(std::string(), cimxml::CIMNamespaceName(), path.getClassName(), {});
    std::vector<CIMKeyBinding> keys;
    for (CIMKeyBinding k : path.getKeyBindings()) {
        if (k.getType() == CIMKeyBinding::REFERENCE) {
            try {
                k = CIMKeyBinding(k.getName(), normalized(CIMObjectPath(k.getValue())));
            } catch (const cimxml::Exception&) {
            }
        }
        keys.push_back(k);
    }
    out.setKeyBindings(keys);
    return out;
}

// "SELECT * FROM <class>" with any case of the keywords and single blanks.
bool queryClass(const std::string& query, std::string& className)
{
    const std::string head = "select * from ";
    if (query.size() <= head.size() || !equalNoCase(query.substr(0, head.size()), head))
        return false;
    className = query.substr(head.size());
    for (char c : className)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return false;
    return true;
}

// "http://A.B.C.D:PORT[/path]" gives port and path.
bool destinationTarget(const std::string& destination, int& port, std::string& path)
{
    const std::string scheme = "http://";
    if (destination.compare(0, scheme.size(), scheme) != 0)
        return false;
    std::string rest = destination.substr(scheme.size());
    std::size_t colon = rest.find(':');
    if (colon == std::string::npos)
        return false;
    std::string address = rest.substr(0, colon);
    int dots = 0;
    for (char c : address) {
        if (c == '.')
            ++dots;
        else if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    if (dots != 3)
        return false;
    std::size_t slash = rest.find('/', colon);
    std::string portText = rest.substr(colon + 1, slash == std::string::npos ? std::string::npos : slash - colon - 1);
    if (portText.empty() || portText.size() > 5 ||
        portText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(portText);
    path = slash == std::string::npos ? "/" : rest.substr(slash);
    return port > 0 && port < 65536;
}

const char kFilter[] = "CIM_IndicationFilter";
const char kHandler[] = "CIM_IndicationHandlerCIMXML";
const char kSubscription[] = "CIM_IndicationSubscription";
const char kInterop[] = "root/interop";

struct CimResult {
    cimxml::Uint32 code = 0;
    std::string description;
    CIMObjectPath path;
};

CimResult cimError(cimxml::Uint32 code, const std::string& text)
{
    CimResult r;
    r.code = code;
    const char* name = cimxml::cimStatusCodeToString(code);
    r.description = std::string(name ? name : "CIM_ERR") + ": " + text;
    return r;
}

}  // namespace

Certificate makeCertificate()
{
    // P-256 rather than RSA: made in about a millisecond instead of a tenth of
    // a second or more, for every test that starts a broker.
    OwnedPkey key(EVP_EC_gen("P-256"));
    check(key.p != nullptr, "EC key");
    OwnedX509 cert(X509_new());
    check(cert.p != nullptr, "certificate");
    X509_set_version(cert.p, 2);
    unsigned char serial[8];
    check(RAND_bytes(serial, sizeof serial) == 1, "serial");
    serial[0] &= 0x7F;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.p));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.p), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.p), 24 * 60 * 60);
    X509_set_pubkey(cert.p, key.p);
    X509_NAME* name = X509_get_subject_name(cert.p);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                               -1, -1, 0);
    X509_set_issuer_name(cert.p, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.p, cert.p, nullptr, nullptr, 0);
    addExtension(cert.p, &ctx, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(cert.p, &ctx, NID_subject_key_identifier, "hash");
    addExtension(cert.p, &ctx, NID_subject_alt_name, "IP:127.0.0.1");
    check(X509_sign(cert.p, key.p, EVP_sha256()) > 0, "signing");

    Certificate out;
    OwnedBio certBio(BIO_new(BIO_s_mem()));
    check(PEM_write_bio_X509(certBio.p, cert.p) == 1, "certificate PEM");
    out.certificatePem = bioText(certBio.p);
    OwnedBio keyBio(BIO_new(BIO_s_mem()));
    check(PEM_write_bio_PrivateKey(keyBio.p, key.p, nullptr, nullptr, 0, nullptr, nullptr) == 1, "key PEM");
    out.privateKeyPem = bioText(keyBio.p);
    return out;
}

HttpAnswer postRaw(int port, const std::string& method, const std::string& path, const Headers& headers,
                   const std::string& body)
{
    httplib::Client client("127.0.0.1", port);
    client.set_tcp_nodelay(true);
    client.set_connection_timeout(5);
    client.set_read_timeout(40);
    httplib::Request req;
    req.method = method;
    req.path = path;
    for (const auto& h : headers)
        req.headers.emplace(h.first, h.second);
    req.body = body;
    if (!body.empty() && !req.has_header("Content-Length"))
        req.headers.emplace("Content-Length", std::to_string(body.size()));
    HttpAnswer answer;
    httplib::Result result = client.send(req);
    if (!result) {
        answer.error = httplib::to_string(result.error());
        return answer;
    }
    answer.status = result->status;
    answer.headers = fromHttplib(result->headers);
    answer.body = result->body;
    return answer;
}

std::vector<TimedExchange> postKeptAlive(int port, const Headers& headers, const std::string& body, int count)
{
    httplib::Client client("127.0.0.1", port);
    client.set_tcp_nodelay(true);
    client.set_keep_alive(true);
    client.set_connection_timeout(5);
    client.set_read_timeout(40);
    httplib::Headers sent;
    for (const auto& h : headers)
        sent.emplace(h.first, h.second);
    // Given once, as the content type argument.
    sent.erase("Content-Type");
    std::vector<TimedExchange> exchanges;
    for (int i = 0; i < count; ++i) {
        TimedExchange exchange;
        const auto begin = std::chrono::steady_clock::now();
        httplib::Result result = client.Post("/", sent, body, headerValue(headers, "Content-Type").c_str());
        exchange.took =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);
        if (result)
            exchange.status = result->status;
        exchanges.push_back(exchange);
    }
    return exchanges;
}

std::string exportIndicationBody(const CIMInstance& indication, const std::string& messageId)
{
    return cimxml::xml::exportIndicationRequest(messageId, indication);
}

Headers exportIndicationHeaders()
{
    return Headers{{"Content-Type", "application/xml; charset=\"utf-8\""},
                   {"CIMProtocolVersion", "1.0"},
                   {"CIMExport", "MethodRequest"},
                   {"CIMExportMethod", "ExportIndication"}};
}

CIMInstance sampleIndication(const std::string& eventDesc)
{
    CIMInstance inst(cimxml::CIMName("VYN_EventIndication"));
    inst.addProperty(cimxml::CIMProperty("eventTime", CIMValue("12/09/2026 09:35:44")));
    inst.addProperty(cimxml::CIMProperty("eventCode", CIMValue(cimxml::Uint32(1025))));
    inst.addProperty(cimxml::CIMProperty("eventType", CIMValue(cimxml::Uint32(2))));
    inst.addProperty(cimxml::CIMProperty("eventDesc", CIMValue(eventDesc)));
    inst.addProperty(cimxml::CIMProperty("identifier", CIMValue("ctl0")));
    return inst;
}

struct StandinBroker::Impl {
    Options options;
    Certificate certificate;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Record> records;
    struct FaultEntry {
        std::string method;
        std::string className;
        Fault fault;
    };
    std::vector<FaultEntry> faults;
    struct Stored {
        CIMObjectPath path;
        CIMInstance instance;
    };
    std::vector<Stored> repository;
    int nextExportId = 87001;

    bool authorized(const httplib::Request& req) const;
    void handle(const httplib::Request& req, httplib::Response& res, Record& rec);
    bool takeFault(const std::string& method, const std::string& className, Fault& fault);
    CimResult create(const cimxml::CIMNamespaceName& ns, const CIMInstance& inst);
    CimResult remove(const cimxml::CIMNamespaceName& ns, const CIMObjectPath& path);
    CimResult addToRepository(const CIMObjectPath& path, const CIMInstance& inst);
    int findStored(const CIMObjectPath& path) const;
};

bool StandinBroker::Impl::authorized(const httplib::Request& req) const
{
    return req.get_header_value("Authorization") == "Basic " + base64(options.user + ":" + options.password);
}

bool StandinBroker::Impl::takeFault(const std::string& method, const std::string& className, Fault& fault)
{
    for (FaultEntry& f : faults) {
        if (f.fault.times == 0 || !equalNoCase(f.method, method))
            continue;
        if (!f.className.empty() && !equalNoCase(f.className, className))
            continue;
        if (f.fault.times > 0)
            --f.fault.times;
        fault = f.fault;
        return true;
    }
    return false;
}

int StandinBroker::Impl::findStored(const CIMObjectPath& path) const
{
    CIMObjectPath wanted = normalized(path);
    for (std::size_t i = 0; i < repository.size(); ++i)
        if (repository[i].path == wanted)
            return static_cast<int>(i);
    return -1;
}

CimResult StandinBroker::Impl::addToRepository(const CIMObjectPath& path, const CIMInstance& inst)
{
    if (findStored(path) >= 0)
        return cimError(cimxml::CIM_ERR_ALREADY_EXISTS, "instance exists");
    repository.push_back({normalized(path), inst});
    CimResult r;
    r.path = path;
    return r;
}

CimResult StandinBroker::Impl::create(const cimxml::CIMNamespaceName& ns, const CIMInstance& inst)
{
    if (ns != kInterop)
        return cimError(cimxml::CIM_ERR_INVALID_NAMESPACE, ns.getString());
    const cimxml::CIMName& cls = inst.getClassName();
    if (cls == kSubscription) {
        CIMObjectPath filter, handler;
        for (const char* key : {"Filter", "Handler"}) {
            cimxml::Uint32 i = inst.findProperty(key);
            if (i == cimxml::PEG_NOT_FOUND || inst.getProperty(i).getValue().isNull() ||
                inst.getProperty(i).getType() != cimxml::CIMTYPE_REFERENCE)
                return cimError(cimxml::CIM_ERR_INVALID_PARAMETER, std::string("missing key ") + key);
            CIMObjectPath ref;
            inst.getProperty(i).getValue().get(ref);
            if (findStored(ref) < 0)
                return cimError(cimxml::CIM_ERR_INVALID_PARAMETER, std::string(key) + " does not exist");
            (std::string(key) == "Filter" ? filter : handler) = ref;
        }
        CIMObjectPath path(std::string(), cimxml::CIMNamespaceName(), inst.getClassName(),
                           {CIMKeyBinding("Filter", filter), CIMKeyBinding("Handler", handler)});
        return addToRepository(path, inst);
    }
    if (cls != kFilter && cls != kHandler)
        return cimError(cimxml::CIM_ERR_INVALID_CLASS, cls.getString());
    std::vector<CIMKeyBinding> keys;
    for (const char* key : {"CreationClassName", "Name", "SystemCreationClassName", "SystemName"}) {
        std::string value;
        if (!propertyText(inst, key, value))
            return cimError(cimxml::CIM_ERR_INVALID_PARAMETER, std::string("missing key ") + key);
        keys.emplace_back(key, value, CIMKeyBinding::STRING);
    }
    std::string value;
    if (cls == kFilter) {
        std::string selected;
        if (!propertyText(inst, "QueryLanguage", value) || value != "WQL")
            return cimError(cimxml::CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED, value);
        if (!propertyText(inst, "Query", value) || !queryClass(value, selected))
            return cimError(cimxml::CIM_ERR_INVALID_QUERY, value);
    } else {
        int port = 0;
        std::string path;
        if (!propertyText(inst, "Destination", value) || !destinationTarget(value, port, path))
            return cimError(cimxml::CIM_ERR_INVALID_PARAMETER, "bad Destination \"" + value + "\"");
    }
    return addToRepository(CIMObjectPath(std::string(), cimxml::CIMNamespaceName(), cls, keys), inst);
}

CimResult StandinBroker::Impl::remove(const cimxml::CIMNamespaceName& ns, const CIMObjectPath& path)
{
    if (ns != kInterop)
        return cimError(cimxml::CIM_ERR_INVALID_NAMESPACE, ns.getString());
    int index = findStored(path);
    if (index < 0)
        return cimError(cimxml::CIM_ERR_NOT_FOUND, "object not found");
    const CIMObjectPath& target = repository[index].path;
    for (const Stored& s : repository) {
        if (s.path.getClassName() != kSubscription)
            continue;
        for (const CIMKeyBinding& k : s.path.getKeyBindings())
            if (k.getType() == CIMKeyBinding::REFERENCE && CIMObjectPath(k.getValue()) == target)
                return cimError(cimxml::CIM_ERR_FAILED, "still referenced by a subscription");
    }
    repository.erase(repository.begin() + index);
    return CimResult();
}

void StandinBroker::Impl::handle(const httplib::Request& req, httplib::Response& res, Record& rec)
{
    auto fail = [&](int status, const std::string& cimErrorToken) {
        res.status = status;
        rec.status = status;
        if (!cimErrorToken.empty()) {
            res.set_header("CIMError", cimErrorToken);
            rec.cimError = cimErrorToken;
        }
    };
    if (req.get_header_value("CIMOperation") != "MethodCall")
        return fail(400, "unsupported-operation");
    if (!isXmlContentType(req.get_header_value("Content-Type")))
        return fail(400, "header-mismatch");
    cimxml::xml::Request call;
    try {
        call = cimxml::xml::parseRequest(req.body);
    } catch (const cimxml::xml::XmlError& e) {
        return fail(e.cimError() == "multiple-requests-unsupported" ? 501 : 400, e.cimError());
    }
    if (call.isExport)
        return fail(400, "request-not-valid");
    if (req.get_header_value("CIMMethod") != call.method ||
        percentDecode(req.get_header_value("CIMObject")) != call.nameSpace.getString())
        return fail(400, "header-mismatch");
    rec.cimMethod = call.method;
    const cimxml::xml::ParamValue* newInstance = nullptr;
    const cimxml::xml::ParamValue* instanceName = nullptr;
    for (const auto& p : call.params) {
        if (equalNoCase(p.name, "NewInstance") && p.kind == cimxml::xml::ParamValue::INSTANCE)
            newInstance = &p;
        if (equalNoCase(p.name, "InstanceName") && p.kind == cimxml::xml::ParamValue::INSTANCENAME)
            instanceName = &p;
    }
    if (newInstance)
        rec.className = newInstance->instance.getClassName().getString();
    else if (instanceName)
        rec.className = instanceName->instanceName.getClassName().getString();

    Fault fault;
    bool faulty;
    {
        std::lock_guard<std::mutex> lock(mutex);
        faulty = takeFault(call.method, rec.className, fault);
    }
    if (faulty && fault.kind == FaultKind::HttpStatus)
        return fail(fault.code, fault.cimError);
    if (faulty && fault.kind == FaultKind::CloseWithoutAnswer) {
        if (req.ssl)
            ::shutdown(SSL_get_fd(req.ssl), SHUT_RDWR);
        rec.status = 0;
        return;
    }
    if (faulty && fault.kind == FaultKind::Delay)
        std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));

    std::string messageId = call.messageId;
    std::string body;
    if (faulty && fault.kind == FaultKind::CimError) {
        rec.cimCode = static_cast<cimxml::Uint32>(fault.code);
        body = cimxml::xml::methodErrorResponse(messageId, call.method, rec.cimCode, "fault");
    } else {
        CimResult result;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (call.method == "CreateInstance" && newInstance)
                result = create(call.nameSpace, newInstance->instance);
            else if (call.method == "DeleteInstance" && instanceName)
                result = remove(call.nameSpace, instanceName->instanceName);
            else if (call.method == "CreateInstance" || call.method == "DeleteInstance")
                result = cimError(cimxml::CIM_ERR_INVALID_PARAMETER, "missing parameter");
            else
                result = cimError(cimxml::CIM_ERR_NOT_SUPPORTED, call.method);
        }
        if (faulty && fault.kind == FaultKind::WrongMessageId)
            messageId += "9";
        rec.cimCode = result.code;
        if (result.code != 0) {
            body = cimxml::xml::methodErrorResponse(messageId, call.method, result.code, result.description);
        } else {
            std::vector<CIMObjectPath> names;
            if (call.method == "CreateInstance")
                names.push_back(result.path);
            body = cimxml::xml::methodResponse(messageId, call.method, names);
        }
    }
    if (faulty && fault.kind == FaultKind::TruncatedXml)
        body.resize(body.size() / 2);
    if (faulty && fault.kind == FaultKind::NonXml)
        body = "this is not XML\n";
    res.status = 200;
    rec.status = 200;
    if (!(faulty && fault.kind == FaultKind::NoCimOperation))
        res.set_header("CIMOperation", "MethodResponse");
    res.set_content(body, "application/xml; charset=\"utf-8\"");
    rec.responseBody = body;
}

StandinBroker::StandinBroker() : StandinBroker(Options()) {}

StandinBroker::StandinBroker(const Options& options) : impl_(new Impl)
{
    impl_->options = options;
    if (options.tls)
        impl_->certificate = makeCertificate();
}

StandinBroker::~StandinBroker() { stop(); }

void StandinBroker::start()
{
    if (impl_->server)
        return;
    Impl* impl = impl_.get();
    if (impl->options.tls) {
        OwnedBio certBio(BIO_new_mem_buf(impl->certificate.certificatePem.data(),
                                         static_cast<int>(impl->certificate.certificatePem.size())));
        OwnedX509 cert(PEM_read_bio_X509(certBio.p, nullptr, nullptr, nullptr));
        OwnedBio keyBio(BIO_new_mem_buf(impl->certificate.privateKeyPem.data(),
                                        static_cast<int>(impl->certificate.privateKeyPem.size())));
        OwnedPkey key(PEM_read_bio_PrivateKey(keyBio.p, nullptr, nullptr, nullptr));
        check(cert.p && key.p, "reading the certificate back");
        impl->server.reset(new httplib::SSLServer(cert.p, key.p));
    } else {
        impl->server.reset(new httplib::Server);
    }
    httplib::Server& svr = *impl->server;
    check(svr.is_valid(), "server set-up");
    svr.set_tcp_nodelay(true);
    svr.set_pre_routing_handler([impl](const httplib::Request& req, httplib::Response& res) {
        if (impl->authorized(req))
            return httplib::Server::HandlerResponse::Unhandled;
        // Refused before the body is read, so the connection cannot be reused.
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"cimom\"");
        res.set_header("Connection", "close");
        Record rec;
        rec.method = req.method;
        rec.path = req.path;
        rec.headers = fromHttplib(req.headers);
        rec.tls = req.ssl != nullptr;
        rec.status = 401;
        std::lock_guard<std::mutex> lock(impl->mutex);
        impl->records.push_back(rec);
        impl->changed.notify_all();
        return httplib::Server::HandlerResponse::Handled;
    });
    svr.Post(".*", [impl](const httplib::Request& req, httplib::Response& res) {
        Record rec;
        rec.method = req.method;
        rec.path = req.path;
        rec.headers = fromHttplib(req.headers);
        rec.body = req.body;
        rec.tls = req.ssl != nullptr;
        rec.remotePort = req.remote_port;
        if (req.ssl)
            rec.tlsVersion = SSL_get_version(req.ssl);
        impl->handle(req, res, rec);
        std::lock_guard<std::mutex> lock(impl->mutex);
        impl->records.push_back(rec);
        impl->changed.notify_all();
    });
    if (impl->port == 0)
        impl->port = svr.bind_to_any_port("127.0.0.1");
    else
        check(svr.bind_to_port("127.0.0.1", impl->port), "binding the previous port again");
    check(impl->port > 0, "binding");
    impl->thread = std::thread([&svr] { svr.listen_after_bind(); });
    // stop() only ends a server that is already running.
    for (int i = 0; i < 5000 && !svr.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void StandinBroker::stop()
{
    if (!impl_->server)
        return;
    impl_->server->stop();
    if (impl_->thread.joinable())
        impl_->thread.join();
    impl_->server.reset();
}

int StandinBroker::port() const { return impl_->port; }

const StandinBroker::Options& StandinBroker::options() const { return impl_->options; }

const std::string& StandinBroker::certificatePem() const { return impl_->certificate.certificatePem; }

std::vector<StandinBroker::Record> StandinBroker::requests() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->records;
}

std::size_t StandinBroker::requestCount() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->records.size();
}

bool StandinBroker::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->records.size() >= count; });
}

void StandinBroker::clearRequests()
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->records.clear();
}

void StandinBroker::setFault(const std::string& method, const std::string& className, const Fault& fault)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->faults.push_back({method, className, fault});
}

void StandinBroker::clearFaults()
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->faults.clear();
}

std::vector<CIMInstance> StandinBroker::instances() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    std::vector<CIMInstance> out;
    for (const auto& s : impl_->repository)
        out.push_back(s.instance);
    return out;
}

std::size_t StandinBroker::instanceCount(const std::string& className) const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    std::size_t n = 0;
    for (const auto& s : impl_->repository)
        if (className.empty() || equalNoCase(s.path.getClassName().getString(), className))
            ++n;
    return n;
}

CIMObjectPath StandinBroker::preload(const CIMInstance& instance)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    CimResult result = impl_->create(kInterop, instance);
    if (result.code != 0)
        throw std::runtime_error("preload refused: " + result.description);
    return result.path;
}

void StandinBroker::clearRepository()
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->repository.clear();
}

std::vector<HttpAnswer> StandinBroker::deliver(const CIMInstance& indication, bool anyClass)
{
    struct Target {
        int port;
        std::string path;
        std::string messageId;
    };
    std::vector<Target> targets;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        for (const auto& s : impl_->repository) {
            if (s.path.getClassName() != kSubscription)
                continue;
            const Impl::Stored* filter = nullptr;
            const Impl::Stored* handler = nullptr;
            for (const CIMKeyBinding& k : s.path.getKeyBindings()) {
                int i = impl_->findStored(CIMObjectPath(k.getValue()));
                if (i < 0)
                    continue;
                (k.getName() == "Filter" ? filter : handler) = &impl_->repository[i];
            }
            if (!filter || !handler)
                continue;
            std::string query, selected, destination, path;
            int port = 0;
            propertyText(filter->instance, "Query", query);
            if (!anyClass && (!queryClass(query, selected) ||
                              !equalNoCase(selected, indication.getClassName().getString())))
                continue;
            propertyText(handler->instance, "Destination", destination);
            if (!destinationTarget(destination, port, path))
                continue;
            targets.push_back({port, path, std::to_string(impl_->nextExportId++)});
        }
    }
    std::vector<HttpAnswer> answers;
    for (const Target& t : targets)
        answers.push_back(
            postRaw(t.port, "POST", t.path, exportIndicationHeaders(), exportIndicationBody(indication, t.messageId)));
    return answers;
}

HttpAnswer StandinBroker::deliverTo(int port, const CIMInstance& indication)
{
    std::string id;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        id = std::to_string(impl_->nextExportId++);
    }
    return postRaw(port, "POST", "/", exportIndicationHeaders(), exportIndicationBody(indication, id));
}

}  // namespace cimstandin
