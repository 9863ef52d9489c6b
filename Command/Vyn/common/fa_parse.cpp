#include "Command/Vyn/common/fa_parse.h"

#include "Command/Vyn/common/fa_wchar.h"

#include <vector>

namespace {

// States of the name grammar; 1 is the error state, which ignores the rest.
enum ParseState {
    kStart = 0,
    kError = 1,
    kAdapter = 2,
    kServer = 3,
    kThird = 4,
    kLeadingSlash = 5,
    kTwoSlashes = 6,
    kThreeSlashes = 7,
    kAfterServer = 8,
    kAfterThird = 9,
    kAfterThirdTwo = 10,
    kAdapterSlash = 11,
};

constexpr wchar_t kSlash = L'\\';


// One part being collected: it takes up to one character more than its
// buffer holds, so that a part one longer than its buffer still parses.
struct Part {
    explicit Part(uint32_t length) : limit(length) {}
    bool append(wchar_t c)
    {
        if (text.size() > limit)
            return false;
        text.push_back(c);
        return true;
    }
    void copyTo(wchar_t* out) const
    {
        if (out == nullptr)
            return;
        for (uint32_t i = 0; i < limit; ++i)
            out[i] = i < text.size() ? text[i] : L'\0';
    }
    uint32_t limit;
    std::vector<wchar_t> text;
};

}  // namespace

FSA_STATUS FsaParseAdapterName(const wchar_t* name, wchar_t* adapter, uint32_t adapterLength, wchar_t* server,
                               uint32_t serverLength, wchar_t* third, uint32_t thirdLength)
{
    if (name == nullptr)
        return FSA_STS_INVALID_ADAPTER_NAME;
    // Measure without reading past the first character beyond the limit.
    size_t length = 0;
    while (length <= FSA_MAX_ADAPTER_NAME_CHARS && name[length] != L'\0')
        ++length;
    if (length > FSA_MAX_ADAPTER_NAME_CHARS)
        return FSA_STS_ADAPTER_NAME_TOO_LONG;

    std::vector<wchar_t> copy(name, name + length);
    copy.push_back(L'\0');
    FA_wcsupr(copy.data());

    Part adapterPart(adapterLength);
    Part serverPart(serverLength);
    Part thirdPart(thirdLength);
    int state = kStart;
    auto append = [&state](Part& part, wchar_t c, int next) { state = part.append(c) ? next : kError; };

    for (size_t i = 0; i < length && state != kError; ++i) {
        const wchar_t c = copy[i];
        const bool slash = c == kSlash;
        switch (state) {
        case kStart:
            if (c == L' ' || c == L'\t' || c == L'\n' || c == L'\r')
                break;
            if (slash)
                state = kLeadingSlash;
            else if (i == 0)
                append(adapterPart, c, kAdapter);
            // Any later character before a backslash is ignored: after white
            // space only a backslash starts a name.
            break;
        case kAdapter:
            append(adapterPart, c, slash ? kAdapterSlash : kAdapter);
            break;
        case kAdapterSlash:
            if (slash)
                state = kError;
            else
                append(adapterPart, c, kAdapter);
            break;
        case kLeadingSlash:
            if (slash)
                state = kTwoSlashes;
            else
                append(adapterPart, c, kAdapter);
            break;
        case kTwoSlashes:
            if (slash)
                state = kThreeSlashes;
            else
                append(serverPart, c, kServer);
            break;
        case kThreeSlashes:
            if (slash)
                state = kError;
            else
                append(thirdPart, c, kThird);
            break;
        case kServer:
            if (slash)
                state = kAfterServer;
            else
                append(serverPart, c, kServer);
            break;
        case kAfterServer:
            if (slash)
                state = kError;
            else
                append(adapterPart, c, kAdapter);
            break;
        case kThird:
            if (slash)
                state = kAfterThird;
            else
                append(thirdPart, c, kThird);
            break;
        case kAfterThird:
            state = slash ? kAfterThirdTwo : kError;
            break;
        case kAfterThirdTwo:
            if (slash)
                state = kError;
            else
                append(serverPart, c, kServer);
            break;
        default:
            state = kError;
            break;
        }
    }
    if (state != kAdapter && state != kServer && state != kThird)
        return FSA_STS_INVALID_ADAPTER_NAME;
    adapterPart.copyTo(adapter);
    serverPart.copyTo(server);
    thirdPart.copyTo(third);
    return FSA_STS_SUCCESS;
}
