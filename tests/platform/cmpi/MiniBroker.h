#ifndef VYN_TESTS_PLATFORM_CMPI_MINIBROKER_H
#define VYN_TESTS_PLATFORM_CMPI_MINIBROKER_H

// A small in-process CIM broker for tests: it loads a provider library with
// dlopen, calls its factories and MI slots exactly as a broker does, and checks
// the library's side of the contract on the way. Contract breaches (a slot the
// library must not call, a broker object used after its call, a mutator on a
// request object, a foreign object handed back) are recorded as failures that a
// test reads with MiniBroker::failures().
//
// Two flavours copy the differences between the two brokers the library must
// work with (missing arguments, string arrays, versions, 2.0 services, dlopen
// flags).

#include "platform/cmpi/CmpiAbi.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace minibroker {

enum class Flavour { Sfcb, Pegasus };
const char* flavourName(Flavour flavour);

struct Path;
struct Instance;

// A value as the broker keeps it: scalars in `scalar`, text of CMPI_string and
// CMPI_chars in `text`, array elements (type with CMPI_ARRAY) in `elements`.
struct Value {
    CMPIType type = CMPI_null;
    CMPIValueState state = CMPI_nullValue;
    CMPIValue scalar{};
    std::string text;
    std::vector<Value> elements;
    std::shared_ptr<Path> ref;
    std::shared_ptr<Instance> inst;

    static Value string(const std::string& text);
    static Value chars(const std::string& text);
    static Value boolean(bool v);
    static Value uint8(std::uint8_t v);
    static Value uint16(std::uint16_t v);
    static Value uint32(std::uint32_t v);
    static Value sint32(std::int32_t v);
    static Value uint64(std::uint64_t v);
    static Value sint64(std::int64_t v);
    static Value stringArray(const std::vector<std::string>& texts);
    static Value null(CMPIType type);

    bool isNull() const { return (state & CMPI_nullValue) != 0; }
    // The value as cmpi-call prints it: strings C-escaped, booleans "true" or
    // "false", numbers in decimal, "null" for a null value.
    std::string toText() const;
};

// Ordered named values; names compare without regard to case.
using Entries = std::vector<std::pair<std::string, Value>>;
const Value* findEntry(const Entries& entries, const std::string& name);
void setEntry(Entries& entries, const std::string& name, Value value);

struct Path {
    std::string ns;
    std::string cls;
    std::string host;
    Entries keys;
};

struct Instance {
    Path path;
    Entries props;
};

// One thing that came through a result.
struct Item {
    enum class Kind { Data, Instance, ObjectPath };
    Kind kind = Kind::Data;
    Value data;
    Instance instance;
    Path path;
};

// What one MI call gave back, read before its objects were poisoned.
struct Outcome {
    CMPIrc rc = CMPI_RC_OK;
    bool hasMsg = false;
    std::string msg;
    std::vector<Item> items;
    bool done = false;
    Entries out;

    const Value* outArg(const std::string& name) const { return findEntry(out, name); }
    // The first value returned with returnData, or null.
    const Value* returned() const;
};

struct Node;
struct CallState;

class MiniBroker {
public:
    explicit MiniBroker(Flavour flavour);
    ~MiniBroker();
    MiniBroker(const MiniBroker&) = delete;
    MiniBroker& operator=(const MiniBroker&) = delete;

    Flavour flavour() const { return flavour_; }
    const CMPIBroker* broker() const { return &broker_; }

    // Opens the library once with RTLD_NOW (an unresolved symbol fails at
    // once), then as the flavour's broker does.
    bool load(const std::string& path, std::string* error);
    // dlclose; true when the library is gone from the process afterwards.
    bool unload();
    bool loaded() const { return lib_ != nullptr; }
    const std::string& libraryPath() const { return libPath_; }

    // The factories of provider `name`; *rc starts as `preset`.
    CMPIInstanceMI* createInstanceMI(const std::string& name, CMPIStatus* rc,
                                     CMPIStatus preset = CMPIStatus{CMPI_RC_OK, nullptr});
    CMPIMethodMI* createMethodMI(const std::string& name, CMPIStatus* rc,
                                 CMPIStatus preset = CMPIStatus{CMPI_RC_OK, nullptr});
    // A provider that asked to stay loaded keeps both its MIs; the broker
    // cleans them up again later.
    void reinstate(CMPIInstanceMI* inst, CMPIMethodMI* meth) {
        instanceMI_ = inst;
        methodMI_ = meth;
    }
    CMPIInstanceMI* instanceMI() const { return instanceMI_; }
    CMPIMethodMI* methodMI() const { return methodMI_; }

    // One call each, through the MI obtained from the factories.
    Outcome invoke(const Path& path, const std::string& method, const Entries& in);
    Outcome enumInstanceNames(const Path& path);
    Outcome enumInstances(const Path& path, const char** props = nullptr);
    Outcome getInstance(const Path& path, const char** props = nullptr);
    Outcome createInstance(const Path& path, const Instance& inst);
    Outcome modifyInstance(const Path& path, const Instance& inst, const char** props = nullptr);
    Outcome deleteInstance(const Path& path);
    Outcome execQuery(const Path& path, const std::string& query, const std::string& lang);
    // The MI's cleanup; after OK the broker forgets the MI.
    CMPIStatus cleanupInstanceMI(bool terminating);
    CMPIStatus cleanupMethodMI(bool terminating);

    // classPathIsA: a class is its own class and any listed superclass.
    void setSuperclasses(const std::string& cls, std::vector<std::string> superclasses);
    // The next call of broker slot `slot` ("newString", "newArray", "addArg",
    // ...) fails with CMPI_RC_ERR_FAILED.
    void failOnce(const std::string& slot);

    // A test's own call frame for using broker objects directly: objects made
    // while it lives (by the test or by library code on this thread) belong to
    // it and are poisoned when it ends.
    class Scope {
    public:
        explicit Scope(MiniBroker& broker);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        CMPIArgs* args(const Entries& entries, bool readOnly = true);
        CMPIObjectPath* path(const Path& path, bool readOnly = true);
        CMPIContext* context();
        CMPIResult* result();
        // The text a broker string holds, or nullptr when `s` is no live
        // string of this broker.
        const char* text(const CMPIString* s) const;
        // The value the broker holds for an object the library made.
        bool readArray(const CMPIArray* a, Value* out) const;
        bool readPath(const CMPIObjectPath* p, Path* out) const;
        bool readArgs(const CMPIArgs* a, Entries* out) const;
        bool readInstance(const CMPIInstance* i, Instance* out) const;
        // What came through a result made with result().
        std::vector<Item> items(const CMPIResult* r) const;

    private:
        MiniBroker& broker_;
        std::unique_ptr<CallState> call_;
        CallState* previous_;
    };

    // Contract failures recorded in this process since the last clear.
    static std::vector<std::string> failures();
    static void clearFailures();
    static void recordFailure(const std::string& what);

    // internal, used by the slot functions
    bool consumeFailure(const char* slot);
    bool isA(const std::string& cls, const std::string& wanted) const;
    void bury(std::unique_ptr<Node> node);

private:
    template <class MI>
    MI* createMI(const std::string& symbol, CMPIStatus* rc, CMPIStatus preset, MI*& created);
    template <class Fn>
    Outcome call(Fn fn);
    CMPIStatus cleanup(bool instance, bool terminating);
    void* factory(const std::string& symbol);

    Flavour flavour_;
    CMPIBroker broker_;
    void* lib_ = nullptr;
    std::string libPath_;
    CMPIInstanceMI* instanceMI_ = nullptr;
    CMPIMethodMI* methodMI_ = nullptr;

    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::vector<std::string>>> superclasses_;
    std::multiset<std::string> pendingFailures_;
    std::vector<std::unique_ptr<Node>> graveyard_;
};

// One global or weak entry of a shared library's dynamic symbol table.
struct DynamicSymbol {
    std::string name;
    bool defined = false;
    bool weak = false;
    bool function = false;
};

// The global and weak entries of a shared library file's ELF dynamic symbol
// table, defined and undefined; empty with `error` set when the file is no
// ELF64 shared object.
std::vector<DynamicSymbol> dynamicSymbols(const std::string& path, std::string* error);

// The names of the defined ones: what the library offers to the process.
std::vector<std::string> exportedSymbols(const std::string& path, std::string* error);

// The libraries the file names as needed (DT_NEEDED), in order.
std::vector<std::string> neededLibraries(const std::string& path, std::string* error);

// "ns:Class.Key=\"value\",..." for messages and cmpi-call.
std::string pathText(const Path& path);

// C escapes for text printed on one line.
std::string cEscape(const std::string& text);

}  // namespace minibroker

#endif
