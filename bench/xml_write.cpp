// Writing a whole system (4 controllers, 256 hard drives with their chunks,
// 64 logical drives) as XML, in the full and the user-configuration forms,
// side by side with pugixml building and saving the same document, and
// saving a document it already holds. Every benchmark counts the bytes of
// our full-tree text, so that bytes per second compare as times do.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <cstdio>
#include <string>

#include "RaidModel/Interface/RaidObject.h"
#include "bench/xml_tree.h"
#include "common/Addr.h"
#include "common/XMLWriter.h"

namespace {

unsigned long fullTextBytes()
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    char* text = nullptr;
    XMLWriter writer(&text);
    writer.writeTree(tree.root.get());
    return writer.getStrSize();
}

template <bool UserForm>
void BM_XmlWriteTree(benchmark::State& state)
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    unsigned long bytes = 0;
    for (auto _ : state) {
        char* text = nullptr;
        XMLWriter writer(&text);
        if (UserForm) {
            writer.writeUserConfigTree(tree.root.get());
        } else {
            writer.writeTree(tree.root.get());
        }
        benchmark::DoNotOptimize(text);
        bytes = writer.getStrSize();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["textBytes"] = static_cast<double>(bytes);
}
BENCHMARK_TEMPLATE(BM_XmlWriteTree, false)->Name("BM_XmlWriteTree");
BENCHMARK_TEMPLATE(BM_XmlWriteTree, true)->Name("BM_XmlWriteUserConfig");

// The peer's document of the same tree: every node an element of its
// serialized name, every attribute the tree writes appended with its type,
// so that pugixml formats the numbers itself.
class PugiTreeWriter : public Writer {
public:
    explicit PugiTreeWriter(pugi::xml_node parent) : node(parent) {}

    void writeChar(const char* name, char value) override
    {
        const char text[2] = {value, '\0'};
        node.append_attribute(name).set_value(text);
    }
    void writeUChar(const char* name, unsigned char value) override { writeChar(name, static_cast<char>(value)); }
    void writeLong(const char* name, long value) override { node.append_attribute(name).set_value(value); }
    void writeULong(const char* name, unsigned long value) override { node.append_attribute(name).set_value(value); }
    void writeShort(const char* name, short value) override { node.append_attribute(name).set_value(value); }
    void writeUShort(const char* name, unsigned short value) override
    {
        node.append_attribute(name).set_value(value);
    }
    void writeInt(const char* name, int value) override { node.append_attribute(name).set_value(value); }
    void writeUInt(const char* name, unsigned int value) override { node.append_attribute(name).set_value(value); }
    void writeUIntHex(const char* name, unsigned int value) override
    {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", value);
        node.append_attribute(name).set_value(text);
    }
    void writeFloat(const char* name, float value) override { node.append_attribute(name).set_value(value); }
    void writeDouble(const char* name, double value) override { node.append_attribute(name).set_value(value); }
    void writeU64(const char* name, unsigned long long value) override
    {
        node.append_attribute(name).set_value(value);
    }
    void writeI64(const char* name, long long value) override { node.append_attribute(name).set_value(value); }
    void writeBlockT(const char* name, unsigned long long value) override
    {
        node.append_attribute(name).set_value(value);
    }
    void writeBool(const char* name, bool value) override { node.append_attribute(name).set_value(value); }
    void writeString(const char* name, const char* value) override
    {
        node.append_attribute(name).set_value(value != nullptr ? value : "");
    }
    void writeASCIIString(const char* name, char* value) override { writeString(name, value); }
    void writeObject(const RaidObject* object) override
    {
        PugiTreeWriter child(node.append_child(object->serializedName()));
        object->writeTo(&child);
    }
    void writeObject(const RaidObject& object) override { writeObject(&object); }
    void writeObject(const Addr*) override {}
    void writeObject(const Addr&) override {}
    void writeAddr(const Addr*) override {}
    void writeAddrDefinedIDsOnly(const Addr&) override {}
    void writeAddr(const Addr&) override {}
    void writeTree(const RaidObject* root) override
    {
        PugiTreeWriter element(node.append_child(root->serializedName()));
        root->writeTo(&element);
        for (const RaidObject* child : root->getChildren()) {
            element.writeTree(child);
        }
    }
    void writeTree(const RaidObject& root) override { writeTree(&root); }
    void writeRawString(const char*) override {}
    void writeBinary(const char*, const char*, unsigned long) override {}
    void addTag(const char*) override {}

private:
    pugi::xml_node node;
};

struct StringSink : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

const unsigned int kPugiSaveFlags = pugi::format_indent | pugi::format_no_declaration;

void BM_PugiBuildSaveTree(benchmark::State& state)
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    size_t peerBytes = 0;
    for (auto _ : state) {
        pugi::xml_document doc;
        PugiTreeWriter writer(doc);
        writer.writeTree(tree.root.get());
        StringSink sink;
        doc.save(sink, "    ", kPugiSaveFlags);
        benchmark::DoNotOptimize(sink.text.data());
        peerBytes = sink.text.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fullTextBytes()));
    state.counters["textBytes"] = static_cast<double>(peerBytes);
}
BENCHMARK(BM_PugiBuildSaveTree);

void BM_PugiSaveTree(benchmark::State& state)
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    pugi::xml_document doc;
    PugiTreeWriter writer(doc);
    writer.writeTree(tree.root.get());
    size_t peerBytes = 0;
    for (auto _ : state) {
        StringSink sink;
        doc.save(sink, "    ", kPugiSaveFlags);
        benchmark::DoNotOptimize(sink.text.data());
        peerBytes = sink.text.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fullTextBytes()));
    state.counters["textBytes"] = static_cast<double>(peerBytes);
}
BENCHMARK(BM_PugiSaveTree);

} // namespace

BENCHMARK_MAIN();
