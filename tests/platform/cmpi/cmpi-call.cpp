// cmpi-call: runs one CMPI operation of a provider library through the mini
// broker and prints what came back.
//
//   cmpi-call <lib> <provider name> <namespace> <class> [KEY=VALUE] <operation>
//             [name:type=value ...]
//
// Types: string, boolean, uint32, string[] (comma-separated). The operation is
// a method name or enumInstanceNames, enumInstances or getInstance.
// Output: "status <rc>"; "return <v>" when a value came back; "out <name>
// <value>" per output argument, one line per array element; strings C-escaped.

#include "MiniBroker.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

using namespace minibroker;

namespace {

const int kUsage = 2;

int usage() {
    std::cerr << "usage: cmpi-call <lib> <provider name> <namespace> <class> [KEY=VALUE] "
                 "<operation> [name:type=value ...]\n"
                 "types: string, boolean, uint32, string[] (comma-separated)\n"
                 "operation: a method name, enumInstanceNames, enumInstances or getInstance\n";
    return kUsage;
}

bool parseValue(const std::string& type, const std::string& text, Value* out) {
    if (type == "string") {
        *out = Value::string(text);
        return true;
    }
    if (type == "boolean") {
        if (text == "true" || text == "1") {
            *out = Value::boolean(true);
        } else if (text == "false" || text == "0") {
            *out = Value::boolean(false);
        } else {
            return false;
        }
        return true;
    }
    if (type == "uint32") {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
        errno = 0;
        unsigned long long n = std::strtoull(text.c_str(), nullptr, 10);
        if (errno != 0 || n > 0xFFFFFFFFull) return false;
        *out = Value::uint32(static_cast<std::uint32_t>(n));
        return true;
    }
    if (type == "string[]") {
        std::vector<std::string> parts;
        if (!text.empty()) {
            std::stringstream in(text);
            std::string part;
            while (std::getline(in, part, ',')) parts.push_back(part);
            if (text.back() == ',') parts.push_back("");
        }
        *out = Value::stringArray(parts);
        return true;
    }
    return false;
}

// "name:type=value"
bool parseArgument(const std::string& arg, Entries* in) {
    std::size_t colon = arg.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::size_t eq = arg.find('=', colon);
    if (eq == std::string::npos) return false;
    Value v;
    if (!parseValue(arg.substr(colon + 1, eq - colon - 1), arg.substr(eq + 1), &v)) return false;
    setEntry(*in, arg.substr(0, colon), v);
    return true;
}

void printValue(const std::string& prefix, const Value& v) {
    if ((v.type & CMPI_ARRAY) && !v.isNull()) {
        for (const Value& e : v.elements) std::cout << prefix << e.toText() << "\n";
        return;
    }
    std::cout << prefix << v.toText() << "\n";
}

void print(const Outcome& o) {
    std::cout << "status " << o.rc << "\n";
    for (const Item& item : o.items) {
        switch (item.kind) {
            case Item::Kind::Data:
                printValue("return ", item.data);
                break;
            case Item::Kind::ObjectPath:
                std::cout << "path " << pathText(item.path) << "\n";
                break;
            case Item::Kind::Instance:
                std::cout << "instance " << pathText(item.instance.path) << "\n";
                for (const auto& prop : item.instance.props) {
                    printValue("property " + prop.first + " ", prop.second);
                }
                break;
        }
    }
    for (const auto& arg : o.out) printValue("out " + arg.first + " ", arg.second);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) return usage();
    const std::string lib = argv[1];
    const std::string provider = argv[2];
    Path path;
    path.ns = argv[3];
    path.cls = argv[4];
    int next = 5;
    std::string first = argv[next];
    std::size_t eq = first.find('=');
    if (eq != std::string::npos) {
        if (eq == 0) return usage();
        setEntry(path.keys, first.substr(0, eq), Value::string(first.substr(eq + 1)));
        ++next;
    }
    if (next >= argc) return usage();
    const std::string operation = argv[next++];
    Entries in;
    for (; next < argc; ++next) {
        if (!parseArgument(argv[next], &in)) {
            std::cerr << "cmpi-call: bad argument \"" << argv[next] << "\"\n";
            return usage();
        }
    }

    MiniBroker broker(Flavour::Sfcb);
    std::string error;
    if (!broker.load(lib, &error)) {
        std::cerr << "cmpi-call: " << error << "\n";
        return 1;
    }
    const bool instanceOp = operation == "enumInstanceNames" || operation == "enumInstances" ||
                            operation == "getInstance";
    CMPIStatus rc{CMPI_RC_OK, nullptr};
    bool made = instanceOp ? broker.createInstanceMI(provider, &rc) != nullptr
                           : broker.createMethodMI(provider, &rc) != nullptr;
    if (!made) {
        std::cerr << "cmpi-call: factory of " << provider << " failed, rc " << rc.rc << "\n";
        return 1;
    }
    Outcome outcome;
    if (operation == "enumInstanceNames") {
        outcome = broker.enumInstanceNames(path);
    } else if (operation == "enumInstances") {
        outcome = broker.enumInstances(path);
    } else if (operation == "getInstance") {
        outcome = broker.getInstance(path);
    } else {
        outcome = broker.invoke(path, operation, in);
    }
    print(outcome);
    if (instanceOp) {
        broker.cleanupInstanceMI(true);
    } else {
        broker.cleanupMethodMI(true);
    }
    broker.unload();

    std::vector<std::string> failures = MiniBroker::failures();
    for (const std::string& f : failures) std::cerr << "broker: " << f << "\n";
    return failures.empty() ? 0 : 3;
}
