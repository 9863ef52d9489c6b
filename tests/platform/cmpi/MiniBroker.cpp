#include "MiniBroker.h"

#include <dlfcn.h>
#include <elf.h>
#include <strings.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <type_traits>
#include <unordered_set>

namespace minibroker {

// ---------------------------------------------------------------------------
// Nodes: every broker object is a node whose C struct's hdl points back to it.

struct Node {
    MiniBroker* owner = nullptr;
    bool readOnly = false;
    virtual ~Node() = default;
    virtual void poison() = 0;
};

struct CallState {
    MiniBroker* broker = nullptr;
    std::vector<std::unique_ptr<Node>> nodes;
};

namespace {

thread_local CallState* tlsCall = nullptr;

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::unordered_set<const Node*>& liveNodes() {
    static std::unordered_set<const Node*> nodes;
    return nodes;
}

std::mutex& failureMutex() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& failureList() {
    static std::vector<std::string> list;
    return list;
}

CMPIStatus status(CMPIrc rc) { return CMPIStatus{rc, nullptr}; }

void setRc(CMPIStatus* rc, CMPIrc value) {
    if (rc) *rc = status(value);
}

// ---------------------------------------------------------------------------
// Stub slots: every slot the library must not call records a failure.

enum class StubKind { Unexpected, Poisoned, BeyondTable };

void recordStub(StubKind kind, const char* slot) {
    switch (kind) {
        case StubKind::Unexpected:
            MiniBroker::recordFailure(std::string("unexpected slot ") + slot);
            break;
        case StubKind::Poisoned:
            MiniBroker::recordFailure(std::string("use after call ") + slot);
            break;
        case StubKind::BeyondTable:
            MiniBroker::recordFailure(std::string("slot beyond the broker's table ") + slot);
            break;
    }
}

template <typename F>
struct ReturnOf;
template <typename R, typename... A>
struct ReturnOf<R (*)(A...)> {
    using type = R;
};

template <typename T>
T stubAnswer() {
    if constexpr (std::is_same_v<T, CMPIStatus>) {
        return status(CMPI_RC_ERR_NOT_SUPPORTED);
    } else if constexpr (std::is_same_v<T, CMPIData>) {
        CMPIData d{};
        d.state = CMPI_nullValue | CMPI_badValue;
        return d;
    } else {
        return T{};
    }
}

template <typename A>
void setStatusArg(A a) {
    if constexpr (std::is_same_v<A, CMPIStatus*>) {
        if (a) *a = status(CMPI_RC_ERR_NOT_SUPPORTED);
    }
}

#define MB_STUB(FT, table, slot, kind, name)                                         \
    (table).slot = [](auto... args) -> typename ReturnOf<decltype(FT::slot)>::type { \
        (setStatusArg(args), ...);                                                   \
        recordStub(kind, name "." #slot);                                            \
        return stubAnswer<typename ReturnOf<decltype(FT::slot)>::type>();            \
    }

// clang-format off
#define MB_CONTEXT_SLOTS(X) \
    X(release) X(clone) X(getEntry) X(getEntryAt) X(getEntryCount) X(addEntry)
#define MB_RESULT_SLOTS(X) \
    X(release) X(clone) X(returnData) X(returnInstance) X(returnObjectPath) X(returnDone) \
    X(returnError)
#define MB_ARGS_SLOTS(X) X(release) X(clone) X(addArg) X(getArg) X(getArgAt) X(getArgCount)
#define MB_PATH_SLOTS(X) \
    X(release) X(clone) X(setNameSpace) X(getNameSpace) X(setHostname) X(getHostname) \
    X(setClassName) X(getClassName) X(addKey) X(getKey) X(getKeyAt) X(getKeyCount) \
    X(setNameSpaceFromObjectPath) X(setHostAndNameSpaceFromObjectPath) X(getClassQualifier) \
    X(getPropertyQualifier) X(getMethodQualifier) X(getParameterQualifier) X(toString)
#define MB_INSTANCE_SLOTS(X) \
    X(release) X(clone) X(getProperty) X(getPropertyAt) X(getPropertyCount) X(setProperty) \
    X(getObjectPath) X(setPropertyFilter) X(setObjectPath) X(setPropertyWithOrigin)
#define MB_STRING_SLOTS(X) X(release) X(clone) X(getCharPtr)
#define MB_ARRAY_SLOTS(X) \
    X(release) X(clone) X(getSize) X(getSimpleType) X(getElementAt) X(setElementAt)
#define MB_ENC10_SLOTS(X) \
    X(newInstance) X(newObjectPath) X(newArgs) X(newString) X(newArray) X(newDateTime) \
    X(newDateTimeFromBinary) X(newDateTimeFromChars) X(newSelectExp) X(classPathIsA) \
    X(toString) X(isOfType) X(getType) X(logMessage) X(trace)
#define MB_ENC20_SLOTS(X) X(newCMPIError) X(openMessageFile) X(closeMessageFile)
#define MB_BROKER_SLOTS(X) \
    X(prepareAttachThread) X(attachThread) X(detachThread) X(deliverIndication) \
    X(enumerateInstanceNames) X(getInstance) X(createInstance) X(modifyInstance) \
    X(deleteInstance) X(execQuery) X(enumerateInstances) X(associators) X(associatorNames) \
    X(references) X(referenceNames) X(invokeMethod) X(setProperty) X(getProperty)
// clang-format on

template <StubKind K>
void fillContext(CMPIContextFT& t) {
#define X(slot) MB_STUB(CMPIContextFT, t, slot, K, "CMPIContextFT");
    MB_CONTEXT_SLOTS(X)
#undef X
}
template <StubKind K>
void fillResult(CMPIResultFT& t) {
#define X(slot) MB_STUB(CMPIResultFT, t, slot, K, "CMPIResultFT");
    MB_RESULT_SLOTS(X)
#undef X
}
template <StubKind K>
void fillArgs(CMPIArgsFT& t) {
#define X(slot) MB_STUB(CMPIArgsFT, t, slot, K, "CMPIArgsFT");
    MB_ARGS_SLOTS(X)
#undef X
}
template <StubKind K>
void fillPath(CMPIObjectPathFT& t) {
#define X(slot) MB_STUB(CMPIObjectPathFT, t, slot, K, "CMPIObjectPathFT");
    MB_PATH_SLOTS(X)
#undef X
}
template <StubKind K>
void fillInstance(CMPIInstanceFT& t) {
#define X(slot) MB_STUB(CMPIInstanceFT, t, slot, K, "CMPIInstanceFT");
    MB_INSTANCE_SLOTS(X)
#undef X
}
template <StubKind K>
void fillString(CMPIStringFT& t) {
#define X(slot) MB_STUB(CMPIStringFT, t, slot, K, "CMPIStringFT");
    MB_STRING_SLOTS(X)
#undef X
}
template <StubKind K>
void fillArray(CMPIArrayFT& t) {
#define X(slot) MB_STUB(CMPIArrayFT, t, slot, K, "CMPIArrayFT");
    MB_ARRAY_SLOTS(X)
#undef X
}

CMPIString* getMessageStub(const CMPIBroker*, const char*, const char*, CMPIStatus* rc, CMPICount,
                           ...) {
    setRc(rc, CMPI_RC_ERR_NOT_SUPPORTED);
    recordStub(StubKind::Unexpected, "CMPIBrokerEncFT.getMessage");
    return nullptr;
}

CMPIString* getMessage2Stub(const CMPIBroker*, const char*, const CMPIMsgFileHandle, const char*,
                            CMPIStatus* rc, CMPICount, ...) {
    setRc(rc, CMPI_RC_ERR_NOT_SUPPORTED);
    recordStub(StubKind::Unexpected, "CMPIBrokerEncFT.getMessage2");
    return nullptr;
}

template <StubKind K>
void fillEnc20(CMPIBrokerEncFT& t) {
#define X(slot) MB_STUB(CMPIBrokerEncFT, t, slot, K, "CMPIBrokerEncFT");
    MB_ENC20_SLOTS(X)
#undef X
    t.getMessage2 = &getMessage2Stub;
}

void fillEnc10(CMPIBrokerEncFT& t) {
#define X(slot) MB_STUB(CMPIBrokerEncFT, t, slot, StubKind::Unexpected, "CMPIBrokerEncFT");
    MB_ENC10_SLOTS(X)
#undef X
    t.getMessage = &getMessageStub;
}

void fillBroker(CMPIBrokerFT& t) {
#define X(slot) MB_STUB(CMPIBrokerFT, t, slot, StubKind::Unexpected, "CMPIBrokerFT");
    MB_BROKER_SLOTS(X)
#undef X
}

// ---------------------------------------------------------------------------
// Tables of one flavour.

struct Tables {
    CMPIBrokerFT bft{};
    CMPIBrokerEncFT eft{};
    CMPIContextFT context{}, contextPoison{};
    CMPIResultFT result{}, resultPoison{};
    CMPIArgsFT args{}, argsPoison{};
    CMPIObjectPathFT path{}, pathPoison{};
    CMPIInstanceFT instance{}, instancePoison{};
    CMPIStringFT string{}, stringPoison{};
    CMPIArrayFT array{}, arrayPoison{};
};

const Tables& tables(Flavour flavour);

}  // namespace

// A broker object of C struct type C: its table is Tables::*Live while its
// call runs and Tables::*Poisoned once the call is over.
template <class C, class FT, FT Tables::*Live, FT Tables::*Poisoned>
struct ObjectNode : Node {
    C c{};
    void open() { useTable(Live); }
    void poison() override { useTable(Poisoned); }

private:
    void useTable(FT Tables::*table) {
        c.ft = const_cast<FT*>(&(tables(owner->flavour()).*table));
    }
};

struct StringNode
    : ObjectNode<CMPIString, CMPIStringFT, &Tables::string, &Tables::stringPoison> {
    std::string text;
};

struct ArgsNode : ObjectNode<CMPIArgs, CMPIArgsFT, &Tables::args, &Tables::argsPoison> {
    Entries entries;
};

struct PathNode
    : ObjectNode<CMPIObjectPath, CMPIObjectPathFT, &Tables::path, &Tables::pathPoison> {
    Path path;
};

struct InstanceNode
    : ObjectNode<CMPIInstance, CMPIInstanceFT, &Tables::instance, &Tables::instancePoison> {
    Instance inst;
};

struct ArrayNode : ObjectNode<CMPIArray, CMPIArrayFT, &Tables::array, &Tables::arrayPoison> {
    CMPIType elementType = CMPI_null;
    std::vector<Value> elements;
};

struct ResultNode : ObjectNode<CMPIResult, CMPIResultFT, &Tables::result, &Tables::resultPoison> {
    std::vector<Item> items;
    bool done = false;
};

struct ContextNode
    : ObjectNode<CMPIContext, CMPIContextFT, &Tables::context, &Tables::contextPoison> {
    Entries entries;
};

namespace {

template <class N>
N* makeNode(MiniBroker* owner) {
    auto node = std::make_unique<N>();
    N* raw = node.get();
    raw->owner = owner;
    raw->c.hdl = static_cast<Node*>(raw);
    raw->open();
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        liveNodes().insert(raw);
    }
    if (tlsCall) {
        tlsCall->nodes.push_back(std::move(node));
    } else {
        MiniBroker::recordFailure("broker object made outside a call");
        owner->bury(std::move(node));
    }
    return raw;
}

StringNode* makeString(MiniBroker* owner, const std::string& text) {
    StringNode* s = makeNode<StringNode>(owner);
    s->text = text;
    return s;
}

bool isLive(const Node* n) {
    std::lock_guard<std::mutex> lock(registryMutex());
    return liveNodes().count(n) != 0;
}

// The live string node whose C struct is `s`, found without reading through
// `s`: a status message the library made up may point anywhere.
const StringNode* liveString(const CMPIString* s) {
    std::lock_guard<std::mutex> lock(registryMutex());
    for (const Node* n : liveNodes()) {
        auto* str = dynamic_cast<const StringNode*>(n);
        if (str && &str->c == s) return str;
    }
    return nullptr;
}

// The node behind an object the library passed in; a foreign or dead object
// is a failure.
template <class N, class C>
N* nodeOf(const C* c, const char* slot) {
    if (!c) {
        MiniBroker::recordFailure(std::string("null object passed to ") + slot);
        return nullptr;
    }
    auto* n = static_cast<Node*>(c->hdl);
    if (!isLive(n)) {
        MiniBroker::recordFailure(std::string("object passed to ") + slot +
                                  " is no live object of this broker");
        return nullptr;
    }
    N* typed = dynamic_cast<N*>(n);
    if (!typed) MiniBroker::recordFailure(std::string("object of another kind passed to ") + slot);
    return typed;
}

bool mutable_(const Node* n, const char* slot) {
    if (n->readOnly) {
        MiniBroker::recordFailure(std::string("mutator ") + slot + " called on a request object");
        return false;
    }
    return true;
}

MiniBroker* brokerOf(const CMPIBroker* mb) { return static_cast<MiniBroker*>(mb->hdl); }

// The library passes a status to every slot that takes one, so that it sees
// the broker's errors.
void expectStatus(const CMPIStatus* rc, const char* slot) {
    if (!rc) MiniBroker::recordFailure(std::string("no status passed to ") + slot);
}

std::size_t scalarSize(CMPIType t) {
    switch (t) {
        case CMPI_boolean:
        case CMPI_uint8:
        case CMPI_sint8:
            return 1;
        case CMPI_char16:
        case CMPI_uint16:
        case CMPI_sint16:
            return 2;
        case CMPI_uint32:
        case CMPI_sint32:
        case CMPI_real32:
            return 4;
        case CMPI_uint64:
        case CMPI_sint64:
        case CMPI_real64:
            return 8;
        default:
            return 0;
    }
}

bool isStringType(CMPIType t) { return t == CMPI_string || t == CMPI_chars; }

// A value the library hands in (const CMPIValue*, CMPIType).
bool fromValue(const CMPIValue* v, CMPIType t, const char* slot, Value* out) {
    Value r;
    r.type = t;
    r.state = CMPI_goodValue;
    if (t == CMPI_null || !v) {
        r.state = CMPI_nullValue;
        *out = r;
        return true;
    }
    if (t & CMPI_ARRAY) {
        if (!v->array) {
            r.state = CMPI_nullValue;
        } else {
            ArrayNode* a = nodeOf<ArrayNode>(v->array, slot);
            if (!a) return false;
            CMPIType wanted = static_cast<CMPIType>(t & ~CMPI_ARRAY);
            CMPIType have = static_cast<CMPIType>(a->elementType & ~CMPI_ARRAY);
            if (!(have == wanted || (isStringType(have) && isStringType(wanted)))) {
                MiniBroker::recordFailure(std::string(slot) + ": array of another element type");
                return false;
            }
            r.elements = a->elements;
        }
    } else if (t == CMPI_chars) {
        r.text = reinterpret_cast<const char*>(v);
    } else if (t == CMPI_string) {
        if (!v->string) {
            r.state = CMPI_nullValue;
        } else {
            StringNode* s = nodeOf<StringNode>(v->string, slot);
            if (!s) return false;
            r.text = s->text;
        }
    } else if (t == CMPI_ref) {
        if (!v->ref) {
            r.state = CMPI_nullValue;
        } else {
            PathNode* p = nodeOf<PathNode>(v->ref, slot);
            if (!p) return false;
            r.ref = std::make_shared<Path>(p->path);
        }
    } else if (t == CMPI_instance) {
        if (!v->inst) {
            r.state = CMPI_nullValue;
        } else {
            InstanceNode* i = nodeOf<InstanceNode>(v->inst, slot);
            if (!i) return false;
            r.inst = std::make_shared<Instance>(i->inst);
        }
    } else if (std::size_t n = scalarSize(t)) {
        std::memcpy(&r.scalar, v, n);
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s: type 0x%x not supported", slot, t);
        MiniBroker::recordFailure(buf);
        return false;
    }
    *out = r;
    return true;
}

// A value handed out to the library, made of objects of the current call.
CMPIData toData(MiniBroker* owner, const Value& v, bool readOnly) {
    CMPIData d{};
    d.type = v.type;
    d.state = v.state;
    if (v.isNull()) return d;
    if (v.type & CMPI_ARRAY) {
        ArrayNode* a = makeNode<ArrayNode>(owner);
        a->elementType = static_cast<CMPIType>(v.type & ~CMPI_ARRAY);
        a->elements = v.elements;
        a->readOnly = readOnly;
        d.value.array = &a->c;
    } else if (v.type == CMPI_string) {
        d.value.string = &makeString(owner, v.text)->c;
    } else if (v.type == CMPI_chars) {
        d.value.chars = makeString(owner, v.text)->text.data();
    } else if (v.type == CMPI_ref) {
        PathNode* p = makeNode<PathNode>(owner);
        if (v.ref) p->path = *v.ref;
        p->readOnly = readOnly;
        d.value.ref = &p->c;
    } else if (v.type == CMPI_instance) {
        InstanceNode* i = makeNode<InstanceNode>(owner);
        if (v.inst) i->inst = *v.inst;
        i->readOnly = readOnly;
        d.value.inst = &i->c;
    } else {
        d.value = v.scalar;
    }
    return d;
}

CMPIData missing(CMPIValueState state) {
    CMPIData d{};
    d.type = CMPI_null;
    d.state = state;
    return d;
}

// ---------------------------------------------------------------------------
// Implemented slots.

const char* strGetCharPtr(const CMPIString* s, CMPIStatus* rc) {
    expectStatus(rc, "CMPIStringFT.getCharPtr");
    StringNode* n = nodeOf<StringNode>(s, "CMPIStringFT.getCharPtr");
    if (!n) {
        setRc(rc, CMPI_RC_ERR_INVALID_HANDLE);
        return nullptr;
    }
    setRc(rc, CMPI_RC_OK);
    return n->text.c_str();
}

// The slots that set one named value on an object the library made: the
// object must be live and mutable, and a staged failure of `operation` wins.
template <class N, class C, class EntriesOf>
CMPIStatus setNamedValue(const C* c, const char* slot, const char* operation, const char* name,
                         const CMPIValue* v, CMPIType t, EntriesOf entriesOf) {
    N* n = nodeOf<N>(c, slot);
    if (!n || !mutable_(n, slot)) return status(CMPI_RC_ERR_INVALID_HANDLE);
    if (n->owner->consumeFailure(operation)) return status(CMPI_RC_ERR_FAILED);
    Value value;
    if (!name || !fromValue(v, t, slot, &value)) return status(CMPI_RC_ERR_INVALID_PARAMETER);
    setEntry(entriesOf(*n), name, value);
    return status(CMPI_RC_OK);
}

CMPIStatus argsAddArg(const CMPIArgs* args, const char* name, const CMPIValue* v, CMPIType t) {
    return setNamedValue<ArgsNode>(args, "CMPIArgsFT.addArg", "addArg", name, v, t,
                                   [](ArgsNode& n) -> Entries& { return n.entries; });
}

CMPIData argsGetArg(const CMPIArgs* args, const char* name, CMPIStatus* rc) {
    expectStatus(rc, "CMPIArgsFT.getArg");
    ArgsNode* n = nodeOf<ArgsNode>(args, "CMPIArgsFT.getArg");
    if (!n) {
        setRc(rc, CMPI_RC_ERR_INVALID_HANDLE);
        return missing(CMPI_nullValue);
    }
    const Value* v = name ? findEntry(n->entries, name) : nullptr;
    if (!v) {
        if (n->owner->flavour() == Flavour::Sfcb) {
            setRc(rc, CMPI_RC_ERR_NOT_FOUND);
            return missing(CMPI_notFound);
        }
        setRc(rc, CMPI_RC_ERR_NO_SUCH_PROPERTY);
        return missing(CMPI_nullValue | CMPI_notFound);
    }
    setRc(rc, CMPI_RC_OK);
    return toData(n->owner, *v, n->readOnly);
}

CMPICount argsGetArgCount(const CMPIArgs* args, CMPIStatus* rc) {
    expectStatus(rc, "CMPIArgsFT.getArgCount");
    ArgsNode* n = nodeOf<ArgsNode>(args, "CMPIArgsFT.getArgCount");
    setRc(rc, n ? CMPI_RC_OK : CMPI_RC_ERR_INVALID_HANDLE);
    return n ? static_cast<CMPICount>(n->entries.size()) : 0;
}

CMPIString* pathString(const CMPIObjectPath* p, CMPIStatus* rc, const char* slot,
                       std::string Path::*field) {
    expectStatus(rc, slot);
    PathNode* n = nodeOf<PathNode>(p, slot);
    if (!n) {
        setRc(rc, CMPI_RC_ERR_INVALID_HANDLE);
        return nullptr;
    }
    setRc(rc, CMPI_RC_OK);
    return &makeString(n->owner, n->path.*field)->c;
}

CMPIString* pathGetNameSpace(const CMPIObjectPath* p, CMPIStatus* rc) {
    return pathString(p, rc, "CMPIObjectPathFT.getNameSpace", &Path::ns);
}

CMPIString* pathGetClassName(const CMPIObjectPath* p, CMPIStatus* rc) {
    return pathString(p, rc, "CMPIObjectPathFT.getClassName", &Path::cls);
}

CMPIString* pathGetHostname(const CMPIObjectPath* p, CMPIStatus* rc) {
    return pathString(p, rc, "CMPIObjectPathFT.getHostname", &Path::host);
}

CMPIStatus pathSetHostname(CMPIObjectPath* p, const char* host) {
    PathNode* n = nodeOf<PathNode>(p, "CMPIObjectPathFT.setHostname");
    if (!n || !mutable_(n, "CMPIObjectPathFT.setHostname"))
        return status(CMPI_RC_ERR_INVALID_HANDLE);
    n->path.host = host ? host : "";
    return status(CMPI_RC_OK);
}

CMPIStatus pathAddKey(CMPIObjectPath* p, const char* name, const CMPIValue* v, CMPIType t) {
    return setNamedValue<PathNode>(p, "CMPIObjectPathFT.addKey", "addKey", name, v, t,
                                   [](PathNode& n) -> Entries& { return n.path.keys; });
}

CMPIData pathGetKey(const CMPIObjectPath* p, const char* name, CMPIStatus* rc) {
    expectStatus(rc, "CMPIObjectPathFT.getKey");
    PathNode* n = nodeOf<PathNode>(p, "CMPIObjectPathFT.getKey");
    if (!n) {
        setRc(rc, CMPI_RC_ERR_INVALID_HANDLE);
        return missing(CMPI_nullValue);
    }
    const bool pegasus = n->owner->flavour() == Flavour::Pegasus;
    const Value* v = name ? findEntry(n->path.keys, name) : nullptr;
    if (!v) {
        setRc(rc, CMPI_RC_ERR_NOT_FOUND);
        return missing(pegasus ? CMPI_nullValue | CMPI_notFound : CMPI_notFound);
    }
    setRc(rc, CMPI_RC_OK);
    CMPIData d = toData(n->owner, *v, n->readOnly);
    if (pegasus) d.state |= CMPI_keyValue;
    return d;
}

CMPIData pathGetKeyAt(const CMPIObjectPath* p, CMPICount i, CMPIString** name, CMPIStatus* rc) {
    expectStatus(rc, "CMPIObjectPathFT.getKeyAt");
    PathNode* n = nodeOf<PathNode>(p, "CMPIObjectPathFT.getKeyAt");
    if (!n || i >= n->path.keys.size()) {
        setRc(rc, n ? CMPI_RC_ERR_NO_SUCH_PROPERTY : CMPI_RC_ERR_INVALID_HANDLE);
        return missing(CMPI_nullValue);
    }
    if (name) *name = &makeString(n->owner, n->path.keys[i].first)->c;
    setRc(rc, CMPI_RC_OK);
    return toData(n->owner, n->path.keys[i].second, n->readOnly);
}

CMPICount pathGetKeyCount(const CMPIObjectPath* p, CMPIStatus* rc) {
    expectStatus(rc, "CMPIObjectPathFT.getKeyCount");
    PathNode* n = nodeOf<PathNode>(p, "CMPIObjectPathFT.getKeyCount");
    setRc(rc, n ? CMPI_RC_OK : CMPI_RC_ERR_INVALID_HANDLE);
    return n ? static_cast<CMPICount>(n->path.keys.size()) : 0;
}

CMPIStatus instSetProperty(const CMPIInstance* inst, const char* name, const CMPIValue* v,
                           CMPIType t) {
    return setNamedValue<InstanceNode>(inst, "CMPIInstanceFT.setProperty", "setProperty", name, v,
                                       t, [](InstanceNode& n) -> Entries& { return n.inst.props; });
}

ResultNode* openResult(const CMPIResult* r, const char* slot) {
    ResultNode* n = nodeOf<ResultNode>(r, slot);
    if (n && n->done) {
        MiniBroker::recordFailure(std::string(slot) + " after returnDone");
        return nullptr;
    }
    return n;
}

CMPIStatus resultReturnData(const CMPIResult* r, const CMPIValue* v, CMPIType t) {
    ResultNode* n = openResult(r, "CMPIResultFT.returnData");
    if (!n) return status(CMPI_RC_ERR_FAILED);
    Item item;
    if (!fromValue(v, t, "CMPIResultFT.returnData", &item.data)) {
        return status(CMPI_RC_ERR_INVALID_PARAMETER);
    }
    n->items.push_back(std::move(item));
    return status(CMPI_RC_OK);
}

CMPIStatus resultReturnInstance(const CMPIResult* r, const CMPIInstance* inst) {
    ResultNode* n = openResult(r, "CMPIResultFT.returnInstance");
    if (!n) return status(CMPI_RC_ERR_FAILED);
    InstanceNode* i = nodeOf<InstanceNode>(inst, "CMPIResultFT.returnInstance");
    if (!i) return status(CMPI_RC_ERR_INVALID_PARAMETER);
    Item item;
    item.kind = Item::Kind::Instance;
    item.instance = i->inst;
    n->items.push_back(std::move(item));
    return status(CMPI_RC_OK);
}

CMPIStatus resultReturnObjectPath(const CMPIResult* r, const CMPIObjectPath* p) {
    ResultNode* n = openResult(r, "CMPIResultFT.returnObjectPath");
    if (!n) return status(CMPI_RC_ERR_FAILED);
    PathNode* pn = nodeOf<PathNode>(p, "CMPIResultFT.returnObjectPath");
    if (!pn) return status(CMPI_RC_ERR_INVALID_PARAMETER);
    Item item;
    item.kind = Item::Kind::ObjectPath;
    item.path = pn->path;
    n->items.push_back(std::move(item));
    return status(CMPI_RC_OK);
}

CMPIStatus resultReturnDone(const CMPIResult* r) {
    ResultNode* n = openResult(r, "CMPIResultFT.returnDone");
    if (!n) return status(CMPI_RC_ERR_FAILED);
    n->done = true;
    return status(CMPI_RC_OK);
}

CMPICount arrayGetSize(const CMPIArray* a, CMPIStatus* rc) {
    expectStatus(rc, "CMPIArrayFT.getSize");
    ArrayNode* n = nodeOf<ArrayNode>(a, "CMPIArrayFT.getSize");
    setRc(rc, n ? CMPI_RC_OK : CMPI_RC_ERR_INVALID_HANDLE);
    return n ? static_cast<CMPICount>(n->elements.size()) : 0;
}

CMPIData arrayGetElementAt(const CMPIArray* a, CMPICount i, CMPIStatus* rc) {
    expectStatus(rc, "CMPIArrayFT.getElementAt");
    ArrayNode* n = nodeOf<ArrayNode>(a, "CMPIArrayFT.getElementAt");
    if (!n || i >= n->elements.size()) {
        setRc(rc, n ? CMPI_RC_ERR_NO_SUCH_PROPERTY : CMPI_RC_ERR_INVALID_HANDLE);
        return missing(CMPI_nullValue);
    }
    Value element = n->elements[i];
    // sfcb keeps every string element as a string object.
    if (n->owner->flavour() == Flavour::Sfcb && element.type == CMPI_chars)
        element.type = CMPI_string;
    setRc(rc, CMPI_RC_OK);
    return toData(n->owner, element, n->readOnly);
}

CMPIStatus arraySetElementAt(CMPIArray* a, CMPICount i, const CMPIValue* v, CMPIType t) {
    ArrayNode* n = nodeOf<ArrayNode>(a, "CMPIArrayFT.setElementAt");
    if (!n || !mutable_(n, "CMPIArrayFT.setElementAt")) return status(CMPI_RC_ERR_INVALID_HANDLE);
    if (i >= n->elements.size()) return status(CMPI_RC_ERR_NO_SUCH_PROPERTY);
    if (n->owner->consumeFailure("setElementAt")) return status(CMPI_RC_ERR_FAILED);
    CMPIType stored = t;
    if (n->owner->flavour() == Flavour::Sfcb && n->elementType == CMPI_string && isStringType(t)) {
        stored = CMPI_string;
    } else if (t != n->elementType) {
        return status(CMPI_RC_ERR_TYPE_MISMATCH);
    }
    Value value;
    if (!fromValue(v, t, "CMPIArrayFT.setElementAt", &value))
        return status(CMPI_RC_ERR_INVALID_PARAMETER);
    value.type = stored;
    n->elements[i] = std::move(value);
    return status(CMPI_RC_OK);
}

// The broker behind an encoder's constructor slot; null, with *rc failed,
// when a failure of `operation` is staged.
MiniBroker* constructorOwner(const CMPIBroker* mb, const char* operation, CMPIStatus* rc) {
    expectStatus(rc, (std::string("CMPIBrokerEncFT.") + operation).c_str());
    MiniBroker* owner = brokerOf(mb);
    if (!owner->consumeFailure(operation)) return owner;
    setRc(rc, CMPI_RC_ERR_FAILED);
    return nullptr;
}

CMPIInstance* encNewInstance(const CMPIBroker* mb, const CMPIObjectPath* p, CMPIStatus* rc) {
    MiniBroker* owner = constructorOwner(mb, "newInstance", rc);
    if (!owner) return nullptr;
    PathNode* pn = nodeOf<PathNode>(p, "CMPIBrokerEncFT.newInstance");
    if (!pn) {
        setRc(rc, CMPI_RC_ERR_INVALID_PARAMETER);
        return nullptr;
    }
    InstanceNode* n = makeNode<InstanceNode>(owner);
    n->inst.path = pn->path;
    setRc(rc, CMPI_RC_OK);
    return &n->c;
}

CMPIObjectPath* encNewObjectPath(const CMPIBroker* mb, const char* ns, const char* cn,
                                 CMPIStatus* rc) {
    MiniBroker* owner = constructorOwner(mb, "newObjectPath", rc);
    if (!owner) return nullptr;
    PathNode* n = makeNode<PathNode>(owner);
    n->path.ns = ns ? ns : "";
    n->path.cls = cn ? cn : "";
    setRc(rc, CMPI_RC_OK);
    return &n->c;
}

CMPIArgs* encNewArgs(const CMPIBroker* mb, CMPIStatus* rc) {
    MiniBroker* owner = constructorOwner(mb, "newArgs", rc);
    if (!owner) return nullptr;
    setRc(rc, CMPI_RC_OK);
    return &makeNode<ArgsNode>(owner)->c;
}

CMPIString* encNewString(const CMPIBroker* mb, const char* text, CMPIStatus* rc) {
    MiniBroker* owner = constructorOwner(mb, "newString", rc);
    if (!owner) return nullptr;
    setRc(rc, CMPI_RC_OK);
    return &makeString(owner, text ? text : "")->c;
}

CMPIArray* encNewArray(const CMPIBroker* mb, CMPICount max, CMPIType type, CMPIStatus* rc) {
    MiniBroker* owner = constructorOwner(mb, "newArray", rc);
    if (!owner) return nullptr;
    CMPIType element = type;
    if (owner->flavour() == Flavour::Sfcb) {
        element = static_cast<CMPIType>(element & ~CMPI_ARRAY);
        if (isStringType(element)) element = CMPI_string;
    }
    ArrayNode* n = makeNode<ArrayNode>(owner);
    n->elementType = element;
    n->elements.assign(max, Value::null(element));
    setRc(rc, CMPI_RC_OK);
    return &n->c;
}

CMPIBoolean encClassPathIsA(const CMPIBroker* mb, const CMPIObjectPath* p, const char* cls,
                            CMPIStatus* rc) {
    expectStatus(rc, "CMPIBrokerEncFT.classPathIsA");
    PathNode* n = nodeOf<PathNode>(p, "CMPIBrokerEncFT.classPathIsA");
    if (!n || !cls) {
        setRc(rc, CMPI_RC_ERR_INVALID_PARAMETER);
        return 0;
    }
    setRc(rc, CMPI_RC_OK);
    return brokerOf(mb)->isA(n->path.cls, cls) ? 1 : 0;
}

Tables makeTables(Flavour flavour) {
    const bool sfcb = flavour == Flavour::Sfcb;
    const int version = sfcb ? 1 : 200;
    Tables t;
    fillBroker(t.bft);
    t.bft.brokerCapabilities = 0;
    t.bft.brokerVersion = sfcb ? 0 : 200;
    t.bft.brokerName = sfcb ? "minibroker-sfcb" : "minibroker-pegasus";

    t.eft.ftVersion = version;
    fillEnc10(t.eft);
    // sfcb's encoder table ends after trace: what lies behind it is a guard.
    if (sfcb) {
        fillEnc20<StubKind::BeyondTable>(t.eft);
    } else {
        fillEnc20<StubKind::Unexpected>(t.eft);
    }
    t.eft.newInstance = &encNewInstance;
    t.eft.newObjectPath = &encNewObjectPath;
    t.eft.newArgs = &encNewArgs;
    t.eft.newString = &encNewString;
    t.eft.newArray = &encNewArray;
    t.eft.classPathIsA = &encClassPathIsA;

    fillContext<StubKind::Unexpected>(t.context);
    fillContext<StubKind::Poisoned>(t.contextPoison);
    fillResult<StubKind::Unexpected>(t.result);
    fillResult<StubKind::Poisoned>(t.resultPoison);
    fillArgs<StubKind::Unexpected>(t.args);
    fillArgs<StubKind::Poisoned>(t.argsPoison);
    fillPath<StubKind::Unexpected>(t.path);
    fillPath<StubKind::Poisoned>(t.pathPoison);
    fillInstance<StubKind::Unexpected>(t.instance);
    fillInstance<StubKind::Poisoned>(t.instancePoison);
    fillString<StubKind::Unexpected>(t.string);
    fillString<StubKind::Poisoned>(t.stringPoison);
    fillArray<StubKind::Unexpected>(t.array);
    fillArray<StubKind::Poisoned>(t.arrayPoison);
    for (int* v : {&t.context.ftVersion, &t.contextPoison.ftVersion, &t.result.ftVersion,
                   &t.resultPoison.ftVersion, &t.args.ftVersion, &t.argsPoison.ftVersion,
                   &t.path.ftVersion, &t.pathPoison.ftVersion, &t.instance.ftVersion,
                   &t.instancePoison.ftVersion, &t.string.ftVersion, &t.stringPoison.ftVersion,
                   &t.array.ftVersion, &t.arrayPoison.ftVersion}) {
        *v = version;
    }

    t.string.getCharPtr = &strGetCharPtr;
    t.args.addArg = &argsAddArg;
    t.args.getArg = &argsGetArg;
    t.args.getArgCount = &argsGetArgCount;
    t.path.getNameSpace = &pathGetNameSpace;
    t.path.getClassName = &pathGetClassName;
    t.path.getHostname = &pathGetHostname;
    t.path.setHostname = &pathSetHostname;
    t.path.addKey = &pathAddKey;
    t.path.getKey = &pathGetKey;
    t.path.getKeyAt = &pathGetKeyAt;
    t.path.getKeyCount = &pathGetKeyCount;
    t.instance.setProperty = &instSetProperty;
    t.result.returnData = &resultReturnData;
    t.result.returnInstance = &resultReturnInstance;
    t.result.returnObjectPath = &resultReturnObjectPath;
    t.result.returnDone = &resultReturnDone;
    t.array.getSize = &arrayGetSize;
    t.array.getElementAt = &arrayGetElementAt;
    t.array.setElementAt = &arraySetElementAt;
    return t;
}

const Tables& tables(Flavour flavour) {
    static const Tables sfcb = makeTables(Flavour::Sfcb);
    static const Tables pegasus = makeTables(Flavour::Pegasus);
    return flavour == Flavour::Sfcb ? sfcb : pegasus;
}

// Stand-ins for the thread and memory services the library never uses.
unsigned char extServices[64];
unsigned char memServices[64];

void poisonAll(CallState& call) {
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        for (auto& n : call.nodes) liveNodes().erase(n.get());
    }
    for (auto& n : call.nodes) {
        n->poison();
        call.broker->bury(std::move(n));
    }
    call.nodes.clear();
}

ContextNode* makeContext(MiniBroker* owner, const std::string& ns) {
    ContextNode* c = makeNode<ContextNode>(owner);
    setEntry(c->entries, "CMPIInvocationFlags", Value::uint32(0));
    setEntry(c->entries, "CMPIPrincipal", Value::chars("root"));
    setEntry(c->entries, "CMPIInitNameSpace", Value::chars(ns));
    c->readOnly = true;
    return c;
}

PathNode* makeRequestPath(MiniBroker* owner, const Path& path) {
    PathNode* p = makeNode<PathNode>(owner);
    p->path = path;
    p->readOnly = true;
    return p;
}

InstanceNode* makeRequestInstance(MiniBroker* owner, const Instance& inst) {
    InstanceNode* i = makeNode<InstanceNode>(owner);
    i->inst = inst;
    i->readOnly = true;
    return i;
}

}  // namespace

// ---------------------------------------------------------------------------
// Values

namespace {

Value goodValue(CMPIType type) {
    Value v;
    v.type = type;
    v.state = CMPI_goodValue;
    return v;
}

}  // namespace

Value Value::string(const std::string& text) {
    Value v = goodValue(CMPI_string);
    v.text = text;
    return v;
}

Value Value::chars(const std::string& text) {
    Value v = string(text);
    v.type = CMPI_chars;
    return v;
}

Value Value::boolean(bool b) {
    Value v = goodValue(CMPI_boolean);
    v.scalar.boolean = b ? 1 : 0;
    return v;
}

Value Value::uint8(std::uint8_t n) {
    Value v = goodValue(CMPI_uint8);
    v.scalar.uint8 = n;
    return v;
}

Value Value::uint16(std::uint16_t n) {
    Value v = goodValue(CMPI_uint16);
    v.scalar.uint16 = n;
    return v;
}

Value Value::uint32(std::uint32_t n) {
    Value v = goodValue(CMPI_uint32);
    v.scalar.uint32 = n;
    return v;
}

Value Value::sint32(std::int32_t n) {
    Value v = goodValue(CMPI_sint32);
    v.scalar.sint32 = n;
    return v;
}

Value Value::uint64(std::uint64_t n) {
    Value v = goodValue(CMPI_uint64);
    v.scalar.uint64 = n;
    return v;
}

Value Value::sint64(std::int64_t n) {
    Value v = goodValue(CMPI_sint64);
    v.scalar.sint64 = n;
    return v;
}

Value Value::stringArray(const std::vector<std::string>& texts) {
    Value v = goodValue(CMPI_stringA);
    for (const std::string& t : texts) v.elements.push_back(string(t));
    return v;
}

Value Value::null(CMPIType type) {
    Value v;
    v.type = type;
    v.state = CMPI_nullValue;
    return v;
}

std::string Value::toText() const {
    if (isNull()) return "null";
    char buf[32];
    switch (type) {
        case CMPI_string:
        case CMPI_chars:
            return cEscape(text);
        case CMPI_boolean:
            return scalar.boolean ? "true" : "false";
        case CMPI_uint8:
            return std::to_string(scalar.uint8);
        case CMPI_uint16:
        case CMPI_char16:
            return std::to_string(scalar.uint16);
        case CMPI_uint32:
            return std::to_string(scalar.uint32);
        case CMPI_uint64:
            return std::to_string(scalar.uint64);
        case CMPI_sint8:
            return std::to_string(scalar.sint8);
        case CMPI_sint16:
            return std::to_string(scalar.sint16);
        case CMPI_sint32:
            return std::to_string(scalar.sint32);
        case CMPI_sint64:
            return std::to_string(scalar.sint64);
        case CMPI_real32:
            return std::to_string(scalar.real32);
        case CMPI_real64:
            return std::to_string(scalar.real64);
        case CMPI_ref:
            return ref ? pathText(*ref) : "null";
        case CMPI_instance:
            return inst ? "instance " + pathText(inst->path) : "null";
        default:
            std::snprintf(buf, sizeof buf, "<type 0x%x>", type);
            return buf;
    }
}

const Value* findEntry(const Entries& entries, const std::string& name) {
    for (const auto& e : entries) {
        if (strcasecmp(e.first.c_str(), name.c_str()) == 0) return &e.second;
    }
    return nullptr;
}

void setEntry(Entries& entries, const std::string& name, Value value) {
    for (auto& e : entries) {
        if (strcasecmp(e.first.c_str(), name.c_str()) == 0) {
            e.second = std::move(value);
            return;
        }
    }
    entries.emplace_back(name, std::move(value));
}

const Value* Outcome::returned() const {
    for (const Item& item : items) {
        if (item.kind == Item::Kind::Data) return &item.data;
    }
    return nullptr;
}

const char* flavourName(Flavour flavour) { return flavour == Flavour::Sfcb ? "sfcb" : "pegasus"; }

// ---------------------------------------------------------------------------
// MiniBroker

MiniBroker::MiniBroker(Flavour flavour) : flavour_(flavour), broker_{} {
    const Tables& t = tables(flavour);
    broker_.hdl = this;
    broker_.bft = const_cast<CMPIBrokerFT*>(&t.bft);
    broker_.eft = const_cast<CMPIBrokerEncFT*>(&t.eft);
    broker_.xft = reinterpret_cast<CMPIBrokerExtFT*>(extServices);
    broker_.mft =
        flavour == Flavour::Sfcb ? nullptr : reinterpret_cast<CMPIBrokerMemFT*>(memServices);
}

MiniBroker::~MiniBroker() {
    if (lib_) dlclose(lib_);
    std::lock_guard<std::mutex> lock(registryMutex());
    for (auto& n : graveyard_) liveNodes().erase(n.get());
}

bool MiniBroker::load(const std::string& path, std::string* error) {
    void* strict = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!strict) {
        if (error) *error = dlerror();
        return false;
    }
    int flags = flavour_ == Flavour::Sfcb ? RTLD_LAZY : RTLD_LAZY | RTLD_GLOBAL;
    lib_ = dlopen(path.c_str(), flags);
    dlclose(strict);
    if (!lib_) {
        if (error) *error = dlerror();
        return false;
    }
    libPath_ = path;
    instanceMI_ = nullptr;
    methodMI_ = nullptr;
    return true;
}

bool MiniBroker::unload() {
    if (!lib_) return true;
    dlclose(lib_);
    lib_ = nullptr;
    instanceMI_ = nullptr;
    methodMI_ = nullptr;
    void* still = dlopen(libPath_.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (still) {
        dlclose(still);
        return false;
    }
    return true;
}

void* MiniBroker::factory(const std::string& symbol) {
    if (!lib_) {
        recordFailure("factory " + symbol + " called with no library loaded");
        return nullptr;
    }
    // Brokers prefer a generic factory when the library has one.
    const std::string generic = symbol.substr(symbol.find("_Create_"));
    if (dlsym(lib_, ("_Generic" + generic).c_str())) {
        recordFailure("library defines _Generic" + generic);
    }
    return dlsym(lib_, symbol.c_str());
}

template <class MI>
MI* MiniBroker::createMI(const std::string& symbol, CMPIStatus* rc, CMPIStatus preset,
                         MI*& created) {
    using Factory = MI* (*)(const CMPIBroker*, const CMPIContext*, CMPIStatus*);
    auto fn = reinterpret_cast<Factory>(factory(symbol));
    *rc = preset;
    if (!fn) return nullptr;
    MI* mi = nullptr;
    {
        Scope scope(*this);
        mi = fn(&broker_, scope.context(), rc);
        if (rc->msg && !liveString(rc->msg)) {
            recordFailure(symbol + ": status message is no live string of this broker");
        }
    }
    if (mi && rc->rc == CMPI_RC_OK) created = mi;
    return mi;
}

CMPIInstanceMI* MiniBroker::createInstanceMI(const std::string& name, CMPIStatus* rc,
                                             CMPIStatus preset) {
    return createMI(name + "_Create_InstanceMI", rc, preset, instanceMI_);
}

CMPIMethodMI* MiniBroker::createMethodMI(const std::string& name, CMPIStatus* rc,
                                         CMPIStatus preset) {
    return createMI(name + "_Create_MethodMI", rc, preset, methodMI_);
}

struct CallIo {
    ContextNode* ctx = nullptr;
    ResultNode* result = nullptr;
    ArgsNode* out = nullptr;
};

template <class Fn>
Outcome MiniBroker::call(Fn fn) {
    Outcome outcome;
    Scope scope(*this);
    CallIo io;
    io.ctx = makeContext(this, "root/cimv2");
    io.result = makeNode<ResultNode>(this);
    CMPIStatus st = fn(io);
    outcome.rc = st.rc;
    if (st.msg) {
        const StringNode* s = liveString(st.msg);
        if (s) {
            outcome.hasMsg = true;
            outcome.msg = s->text;
        } else {
            recordFailure("status message is no live string of this broker");
        }
    }
    outcome.items = io.result->items;
    outcome.done = io.result->done;
    if (io.out) outcome.out = io.out->entries;
    return outcome;
}

namespace {
bool requireMI(const void* mi, const char* what) {
    if (!mi) MiniBroker::recordFailure(std::string(what) + " called without its MI");
    return mi != nullptr;
}
}  // namespace

Outcome MiniBroker::invoke(const Path& path, const std::string& method, const Entries& in) {
    return call([&](CallIo& io) {
        if (!requireMI(methodMI_, "invokeMethod")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        ArgsNode* inArgs = makeNode<ArgsNode>(this);
        inArgs->entries = in;
        inArgs->readOnly = true;
        io.out = makeNode<ArgsNode>(this);
        return methodMI_->ft->invokeMethod(methodMI_, &io.ctx->c, &io.result->c, &p->c,
                                           method.c_str(), &inArgs->c, &io.out->c);
    });
}

Outcome MiniBroker::enumInstanceNames(const Path& path) {
    return call([&](CallIo& io) {
        if (!requireMI(instanceMI_, "enumerateInstanceNames")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        return instanceMI_->ft->enumerateInstanceNames(instanceMI_, &io.ctx->c, &io.result->c,
                                                       &p->c);
    });
}

Outcome MiniBroker::enumInstances(const Path& path, const char** props) {
    return call([&](CallIo& io) {
        if (!requireMI(instanceMI_, "enumerateInstances")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        return instanceMI_->ft->enumerateInstances(instanceMI_, &io.ctx->c, &io.result->c, &p->c,
                                                   props);
    });
}

Outcome MiniBroker::getInstance(const Path& path, const char** props) {
    return call([&](CallIo& io) {
        if (!requireMI(instanceMI_, "getInstance")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        return instanceMI_->ft->getInstance(instanceMI_, &io.ctx->c, &io.result->c, &p->c, props);
    });
}

Outcome MiniBroker::createInstance(const Path& path, const Instance& inst) {
    return call([&](CallIo& io) {
        if (!requireMI(instanceMI_, "createInstance")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        InstanceNode* i = makeRequestInstance(this, inst);
        return instanceMI_->ft->createInstance(instanceMI_, &io.ctx->c, &io.result->c, &p->c,
                                               &i->c);
    });
}

Outcome MiniBroker::modifyInstance(const Path& path, const Instance& inst, const char** props) {
    return call([&](CallIo& io) {
        if (!requireMI(instanceMI_, "modifyInstance")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        InstanceNode* i = makeRequestInstance(this, inst);
        return instanceMI_->ft->modifyInstance(instanceMI_, &io.ctx->c, &io.result->c, &p->c, &i->c,
                                               props);
    });
}

Outcome MiniBroker::deleteInstance(const Path& path) {
    return call([&](CallIo& io) {
        if (!requireMI(instanceMI_, "deleteInstance")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        return instanceMI_->ft->deleteInstance(instanceMI_, &io.ctx->c, &io.result->c, &p->c);
    });
}

Outcome MiniBroker::execQuery(const Path& path, const std::string& query, const std::string& lang) {
    return call([&](CallIo& io) {
        if (!requireMI(instanceMI_, "execQuery")) return status(CMPI_RC_ERR_FAILED);
        PathNode* p = makeRequestPath(this, path);
        return instanceMI_->ft->execQuery(instanceMI_, &io.ctx->c, &io.result->c, &p->c,
                                          query.c_str(), lang.c_str());
    });
}

CMPIStatus MiniBroker::cleanup(bool instance, bool terminating) {
    CMPIStatus st = status(CMPI_RC_ERR_FAILED);
    Outcome outcome = call([&](CallIo& io) {
        if (instance) {
            if (!requireMI(instanceMI_, "instance cleanup")) return st;
            return instanceMI_->ft->cleanup(instanceMI_, &io.ctx->c, terminating ? 1 : 0);
        }
        if (!requireMI(methodMI_, "method cleanup")) return st;
        return methodMI_->ft->cleanup(methodMI_, &io.ctx->c, terminating ? 1 : 0);
    });
    if (!outcome.items.empty()) recordFailure("cleanup returned results");
    if (outcome.rc == CMPI_RC_OK) {
        if (instance) {
            instanceMI_ = nullptr;
        } else {
            methodMI_ = nullptr;
        }
    }
    return status(outcome.rc);
}

CMPIStatus MiniBroker::cleanupInstanceMI(bool terminating) { return cleanup(true, terminating); }

CMPIStatus MiniBroker::cleanupMethodMI(bool terminating) { return cleanup(false, terminating); }

void MiniBroker::setSuperclasses(const std::string& cls, std::vector<std::string> superclasses) {
    std::lock_guard<std::mutex> lock(mutex_);
    superclasses_.emplace_back(cls, std::move(superclasses));
}

bool MiniBroker::isA(const std::string& cls, const std::string& wanted) const {
    if (strcasecmp(cls.c_str(), wanted.c_str()) == 0) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : superclasses_) {
        if (strcasecmp(entry.first.c_str(), cls.c_str()) != 0) continue;
        for (const std::string& s : entry.second) {
            if (strcasecmp(s.c_str(), wanted.c_str()) == 0) return true;
        }
    }
    return false;
}

void MiniBroker::failOnce(const std::string& slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    pendingFailures_.insert(slot);
}

bool MiniBroker::consumeFailure(const char* slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = pendingFailures_.find(slot);
    if (it == pendingFailures_.end()) return false;
    pendingFailures_.erase(it);
    return true;
}

void MiniBroker::bury(std::unique_ptr<Node> node) {
    std::lock_guard<std::mutex> lock(mutex_);
    graveyard_.push_back(std::move(node));
}

std::vector<std::string> MiniBroker::failures() {
    std::lock_guard<std::mutex> lock(failureMutex());
    return failureList();
}

void MiniBroker::clearFailures() {
    std::lock_guard<std::mutex> lock(failureMutex());
    failureList().clear();
}

void MiniBroker::recordFailure(const std::string& what) {
    std::lock_guard<std::mutex> lock(failureMutex());
    failureList().push_back(what);
}

// ---------------------------------------------------------------------------
// Scope

MiniBroker::Scope::Scope(MiniBroker& broker)
    : broker_(broker), call_(std::make_unique<CallState>()), previous_(tlsCall) {
    call_->broker = &broker;
    tlsCall = call_.get();
}

MiniBroker::Scope::~Scope() {
    tlsCall = previous_;
    poisonAll(*call_);
}

CMPIArgs* MiniBroker::Scope::args(const Entries& entries, bool readOnly) {
    ArgsNode* n = makeNode<ArgsNode>(&broker_);
    n->entries = entries;
    n->readOnly = readOnly;
    return &n->c;
}

CMPIObjectPath* MiniBroker::Scope::path(const Path& path, bool readOnly) {
    PathNode* n = makeNode<PathNode>(&broker_);
    n->path = path;
    n->readOnly = readOnly;
    return &n->c;
}

CMPIContext* MiniBroker::Scope::context() { return &makeContext(&broker_, "root/cimv2")->c; }

CMPIResult* MiniBroker::Scope::result() {
    return &makeNode<ResultNode>(&broker_)->c;
}

namespace {
template <class N, class C>
N* quietNodeOf(const C* c) {
    if (!c) return nullptr;
    auto* n = static_cast<Node*>(c->hdl);
    return isLive(n) ? dynamic_cast<N*>(n) : nullptr;
}
}  // namespace

const char* MiniBroker::Scope::text(const CMPIString* s) const {
    StringNode* n = quietNodeOf<StringNode>(s);
    return n ? n->text.c_str() : nullptr;
}

bool MiniBroker::Scope::readArray(const CMPIArray* a, Value* out) const {
    ArrayNode* n = quietNodeOf<ArrayNode>(a);
    if (!n) return false;
    *out = Value();
    out->type = static_cast<CMPIType>(n->elementType | CMPI_ARRAY);
    out->state = CMPI_goodValue;
    out->elements = n->elements;
    return true;
}

bool MiniBroker::Scope::readPath(const CMPIObjectPath* p, Path* out) const {
    PathNode* n = quietNodeOf<PathNode>(p);
    if (n) *out = n->path;
    return n != nullptr;
}

bool MiniBroker::Scope::readArgs(const CMPIArgs* a, Entries* out) const {
    ArgsNode* n = quietNodeOf<ArgsNode>(a);
    if (n) *out = n->entries;
    return n != nullptr;
}

bool MiniBroker::Scope::readInstance(const CMPIInstance* i, Instance* out) const {
    InstanceNode* n = quietNodeOf<InstanceNode>(i);
    if (n) *out = n->inst;
    return n != nullptr;
}

std::vector<Item> MiniBroker::Scope::items(const CMPIResult* r) const {
    ResultNode* n = quietNodeOf<ResultNode>(r);
    return n ? n->items : std::vector<Item>();
}

// ---------------------------------------------------------------------------
// Exported symbols of a library file

namespace {

template <class T>
bool readAt(const std::vector<char>& file, std::uint64_t offset, T* out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
    std::memcpy(out, file.data() + offset, sizeof(T));
    return true;
}

// A NUL-terminated name inside a string table section, or "" when it lies
// outside the section or the file.
std::string tableString(const std::vector<char>& file, const Elf64_Shdr& strings,
                        std::uint64_t index) {
    std::string name;
    if (index >= strings.sh_size) return name;
    std::uint64_t start = strings.sh_offset + index;
    std::uint64_t limit = std::min<std::uint64_t>(file.size(), strings.sh_offset + strings.sh_size);
    for (std::uint64_t p = start; p < limit && file[p] != '\0'; ++p) name.push_back(file[p]);
    return name;
}

// The file's section headers; empty with `error` set when it is no ELF64
// file with readable section headers.
std::vector<Elf64_Shdr> sectionHeaders(const std::vector<char>& file, const std::string& path,
                                       std::string* error) {
    std::vector<Elf64_Shdr> sections;
    Elf64_Ehdr eh;
    if (!readAt(file, 0, &eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_shentsize != sizeof(Elf64_Shdr)) {
        if (error) *error = "not an ELF64 file: " + path;
        return sections;
    }
    for (unsigned i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh;
        if (!readAt(file, eh.e_shoff + std::uint64_t(i) * sizeof(Elf64_Shdr), &sh)) {
            if (error) *error = "truncated section headers: " + path;
            sections.clear();
            break;
        }
        sections.push_back(sh);
    }
    return sections;
}

std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<char> file;
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (size <= 0) return file;
    file.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(file.data(), size)) file.clear();
    return file;
}

}  // namespace

std::vector<DynamicSymbol> dynamicSymbols(const std::string& path, std::string* error) {
    std::vector<DynamicSymbol> symbols;
    const std::vector<char> file = readFile(path);
    const std::vector<Elf64_Shdr> sections = sectionHeaders(file, path, error);
    bool table = false;
    for (const Elf64_Shdr& sh : sections) {
        if (sh.sh_type != SHT_DYNSYM || sh.sh_entsize != sizeof(Elf64_Sym)) continue;
        if (sh.sh_link >= sections.size()) continue;
        table = true;
        const Elf64_Shdr& strings = sections[sh.sh_link];
        for (std::uint64_t off = 0; off + sizeof(Elf64_Sym) <= sh.sh_size;
             off += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            if (!readAt(file, sh.sh_offset + off, &sym)) break;
            const unsigned bind = ELF64_ST_BIND(sym.st_info);
            if (bind == STB_LOCAL) continue;
            DynamicSymbol s;
            s.name = tableString(file, strings, sym.st_name);
            if (s.name.empty()) continue;
            s.defined = sym.st_shndx != SHN_UNDEF;
            s.weak = bind == STB_WEAK;
            s.function = ELF64_ST_TYPE(sym.st_info) == STT_FUNC ||
                         ELF64_ST_TYPE(sym.st_info) == STT_GNU_IFUNC;
            symbols.push_back(std::move(s));
        }
    }
    if (error && !sections.empty() && !table) *error = "no dynamic symbol table in " + path;
    return symbols;
}

std::vector<std::string> exportedSymbols(const std::string& path, std::string* error) {
    std::vector<std::string> names;
    for (const DynamicSymbol& s : dynamicSymbols(path, error)) {
        if (s.defined) names.push_back(s.name);
    }
    if (error && error->empty() && names.empty()) *error = "no defined dynamic symbols in " + path;
    return names;
}

std::vector<std::string> neededLibraries(const std::string& path, std::string* error) {
    std::vector<std::string> needed;
    const std::vector<char> file = readFile(path);
    const std::vector<Elf64_Shdr> sections = sectionHeaders(file, path, error);
    for (const Elf64_Shdr& sh : sections) {
        if (sh.sh_type != SHT_DYNAMIC || sh.sh_link >= sections.size()) continue;
        const Elf64_Shdr& strings = sections[sh.sh_link];
        for (std::uint64_t off = 0; off + sizeof(Elf64_Dyn) <= sh.sh_size;
             off += sizeof(Elf64_Dyn)) {
            Elf64_Dyn dyn;
            if (!readAt(file, sh.sh_offset + off, &dyn) || dyn.d_tag == DT_NULL) break;
            if (dyn.d_tag == DT_NEEDED) {
                needed.push_back(tableString(file, strings, dyn.d_un.d_val));
            }
        }
    }
    return needed;
}

std::string pathText(const Path& p) {
    std::string text = p.ns + ":" + p.cls;
    const char* sep = ".";
    for (const auto& key : p.keys) {
        text += sep + key.first + "=\"" + key.second.toText() + "\"";
        sep = ",";
    }
    return text;
}

std::string cEscape(const std::string& text) {
    std::string out;
    for (unsigned char ch : text) {
        switch (ch) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (ch < 0x20 || ch >= 0x7f) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\%03o", ch);
                    out += buf;
                } else {
                    out += static_cast<char>(ch);
                }
        }
    }
    return out;
}

}  // namespace minibroker
