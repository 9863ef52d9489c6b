// Base64 over 1 MiB and 10 MiB of random bytes, side by side with OpenSSL.
#include "common/Base64.h"

#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> randomBytes(std::size_t n)
{
    std::mt19937_64 random(42);
    std::vector<unsigned char> bytes(n);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

// Throughput is counted in plain bytes for both directions.
void base64_encode(benchmark::State& state)
{
    const std::vector<unsigned char> data = randomBytes(static_cast<std::size_t>(state.range(0)));
    const unsigned int len = static_cast<unsigned int>(data.size());
    std::string text;
    for (auto _ : state) {
        text.clear();
        b64Encode(data.data(), len, text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void base64_decode(benchmark::State& state)
{
    const std::vector<unsigned char> data = randomBytes(static_cast<std::size_t>(state.range(0)));
    const unsigned int len = static_cast<unsigned int>(data.size());
    std::string text;
    b64Encode(data.data(), len, text);
    // The decoder writes whole groups, the padding bytes included.
    unsigned int decodedLen = 0;
    getDataLength(text, decodedLen);
    std::vector<unsigned char> out(decodedLen);
    int rc = 0;
    for (auto _ : state) {
        rc = b64Decode(text, out.data(), decodedLen);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    if (rc != 0 || !std::equal(data.begin(), data.end(), out.begin()))
        state.SkipWithError("decoding failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The peer: OpenSSL's block coder over the same bytes, into one buffer
// kept for all rounds, as ours keeps its string's capacity.
void openssl_encode(benchmark::State& state)
{
    const std::vector<unsigned char> data = randomBytes(static_cast<std::size_t>(state.range(0)));
    const int len = static_cast<int>(data.size());
    std::vector<unsigned char> text((data.size() + 2) / 3 * 4 + 1);
    for (auto _ : state) {
        int n = EVP_EncodeBlock(text.data(), data.data(), len);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(text.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void openssl_decode(benchmark::State& state)
{
    const std::vector<unsigned char> data = randomBytes(static_cast<std::size_t>(state.range(0)));
    const unsigned int len = static_cast<unsigned int>(data.size());
    std::string text;
    b64Encode(data.data(), len, text);
    std::vector<unsigned char> out(text.size() / 4 * 3);
    int n = 0;
    for (auto _ : state) {
        n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    if (n < 0 || !std::equal(data.begin(), data.end(), out.begin()))
        state.SkipWithError("decoding failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

constexpr int64_t kMiB = 1 << 20;

BENCHMARK(base64_encode)->Arg(kMiB)->Arg(10 * kMiB);
BENCHMARK(openssl_encode)->Arg(kMiB)->Arg(10 * kMiB);
BENCHMARK(base64_decode)->Arg(kMiB)->Arg(10 * kMiB);
BENCHMARK(openssl_decode)->Arg(kMiB)->Arg(10 * kMiB);

}  // namespace

BENCHMARK_MAIN();
