#include "common/VStream.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// Room always left free behind the text, so that a terminator fits.
constexpr unsigned long kSpare = 4;
// Larger pieces are clamped before any sum, so offsets cannot wrap; they can
// never fit a 32-bit buffer anyway.
constexpr unsigned long long kPieceClamp = 1ULL << 40;
constexpr unsigned long long kKeepAll = 0xFFFFFFFF;

constexpr char kLowerDigits[] = "0123456789abcdef";
constexpr char kUpperDigits[] = "0123456789ABCDEF";

constexpr unsigned int kMaxPrecision = 20;
constexpr unsigned int kMaxExponentDigits = 6;
constexpr unsigned int kScientificPrecision = 4;
constexpr unsigned int kMaxPower1024Fraction = 16;
// A double has at most 309 integer digits, or 1074 fraction digits behind a
// zero integer part.
constexpr unsigned int kDigitCap = 1400;

// Owned buffers double while small, then grow in whole pages.
unsigned long long grownSize(unsigned long long current, unsigned long long needed)
{
    unsigned long long s = current != 0 ? current : 16;
    while (s <= 4095) {
        s *= 2;
        if (s >= needed)
            return s;
    }
    return (needed + 4096) & ~4095ULL;
}

// Decimal digits of v, most significant first; returns their count (at least 1).
unsigned int decimalDigits(unsigned long long v, char* out)
{
    char rev[20];
    unsigned int n = 0;
    do {
        rev[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (unsigned int i = 0; i < n; ++i)
        out[i] = rev[n - 1 - i];
    return n;
}

// (b + 0.D) / 2 in place, where D holds decimal digit values; exact, since
// halving a decimal fraction adds at most one digit.
void halveFraction(unsigned char* frac, unsigned int& len, unsigned int b)
{
    unsigned int rem = b;
    for (unsigned int j = 0; j < len; ++j) {
        unsigned int cur = rem * 10 + frac[j];
        frac[j] = static_cast<unsigned char>(cur / 2);
        rem = cur & 1;
    }
    if (rem != 0)
        frac[len++] = 5;
}

// Exact decimal expansion of a finite non-negative double, read from its
// IEEE-754 fields: integer digits (at least one) then fraction digits.
void exactDecimal(double v, char* out, unsigned int& intCount, unsigned int& fracCount)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    int biased = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t mant = bits & ((1ULL << 52) - 1);
    int e = -1074;
    if (biased != 0) {
        mant |= 1ULL << 52;
        e = biased - 1075;
    }
    fracCount = 0;
    if (e >= 0) {
        unsigned char big[320];  // little-endian digit values
        unsigned int len = 0;
        for (uint64_t m = mant; m != 0 || len == 0; m /= 10)
            big[len++] = static_cast<unsigned char>(m % 10);
        for (int i = 0; i < e; ++i) {
            unsigned int carry = 0;
            for (unsigned int j = 0; j < len; ++j) {
                unsigned int d = big[j] * 2u + carry;
                big[j] = static_cast<unsigned char>(d % 10);
                carry = d / 10;
            }
            if (carry != 0)
                big[len++] = static_cast<unsigned char>(carry);
        }
        for (unsigned int i = 0; i < len; ++i)
            out[i] = static_cast<char>('0' + big[len - 1 - i]);
        intCount = len;
        return;
    }
    unsigned int k = static_cast<unsigned int>(-e);
    intCount = decimalDigits(k >= 64 ? 0 : mant >> k, out);
    uint64_t fracBits = k >= 64 ? mant : mant & ((1ULL << k) - 1);
    if (fracBits == 0)
        return;
    unsigned char frac[kDigitCap];
    for (unsigned int pos = static_cast<unsigned int>(__builtin_ctzll(fracBits)); pos < k; ++pos)
        halveFraction(frac, fracCount, pos < 64 ? static_cast<unsigned int>((fracBits >> pos) & 1) : 0);
    for (unsigned int j = 0; j < fracCount; ++j)
        out[intCount + j] = static_cast<char>('0' + frac[j]);
}

}  // namespace

// Working copy of the digits of one number; one slot in front of the first
// digit takes a carry out of the integer part.
struct VStream::Digits {
    char text[kDigitCap + 8];
    char* d = text + 1;
    unsigned int intCount = 0;
    unsigned int fracCount = 0;
};

// ---------------------------------------------------------------- charsets

bool VStreamCharset_C::RemoveLastByte(VStream* stream, unsigned char byte)
{
    char* text = stream->Buffer();
    if (text == nullptr || stream->putOffset == 0 ||
        static_cast<unsigned char>(text[stream->putOffset - 1]) != byte)
        return false;
    text[--stream->putOffset] = '\0';
    return true;
}

bool VStreamIso8859_1_C::PutChar(VStream* stream, unsigned long code)
{
    if (code > 0xFF)
        return false;
    stream->PutByte(static_cast<char>(code));
    return true;
}

bool VStreamIso8859_1_C::PopEOT(VStream* stream, unsigned long code)
{
    return code <= 0xFF && RemoveLastByte(stream, static_cast<unsigned char>(code));
}

// ---------------------------------------------------------------- life cycle

VStream::VStream(unsigned long size)
    : DynamicBuffer(size),
      flushTarget(nullptr),
      charset(nullptr),
      encoding(nullptr),
      putOffset(0),
      state(0)
{
    SetDefaults();
}

VStream::VStream(void* buffer, unsigned long size)
    : DynamicBuffer(buffer, size),
      flushTarget(nullptr),
      charset(nullptr),
      encoding(nullptr),
      putOffset(0),
      state(0)
{
    SetDefaults();
}

VStream::~VStream()
{
    delete charset;
    delete encoding;
}

void VStream::SetDefaults()
{
    VStreamCharset_C* newCharset = new (std::nothrow) VStreamIso8859_1_C;
    VStreamEncoding_C* newEncoding = new (std::nothrow) VStreamNopEncoding_C;
    if (newCharset == nullptr || newEncoding == nullptr) {
        delete newCharset;
        delete newEncoding;
        throw DynamicBufferException(DynamicBufferException::AllocationFailed);
    }
    delete charset;
    delete encoding;
    charset = newCharset;
    encoding = newEncoding;

    radix = VStream_NS::base10;
    numericPrecision = 0;
    decimalPrecision = 0;
    exponentPrecision = 0;
    exponent = 0;
    format = VStream_NS::no1000sep.value;
    std::memcpy(hexPrefix, "0x\0\0", kHexPrefixLen);
    justify = VStream_NS::leftjustify;
    fieldWidth = 0;
    outOfRangeChar = '?';
    decimalChar = '.';
    thousandSep = ',';
}

void VStream::SetHexPrefixChar(unsigned int i, char c)
{
    if (i < kHexPrefixLen)
        hexPrefix[i] = c;
}

// ---------------------------------------------------------------- buffer

// Memory that the caller handed in is never replaced; a stream without any
// buffer grows one of its own.
bool VStream::IsGrowable() const
{
    return OwnBuffer() || DynamicBuffer::Buffer() == nullptr;
}

void VStream::GuaranteeBuffer(unsigned long n)
{
    unsigned long long piece = std::min<unsigned long long>(n, kPieceClamp);
    if (putOffset + piece + kSpare <= Size())
        return;
    if (flushTarget != nullptr && !IsNoAutoFlush()) {
        Flush();
        if (piece + kSpare <= Size())
            return;
    }
    if (IsGrowable()) {
        AllocAndPreserve(grownSize(Size(), putOffset + piece + kSpare), kKeepAll);
        return;
    }
    state |= kOverflow;
    putOffset = 0;
    if (piece + kSpare > Size())
        throw VStreamException(VStreamException::PieceTooLarge);
}

void VStream::Terminate()
{
    if (putOffset >= Size()) {
        if (!IsGrowable())
            return;
        GuaranteeBuffer(0);
    }
    Buffer()[putOffset] = '\0';
}

void VStream::Discard()
{
    putOffset = 0;
    state &= ~kOverflow;
}

void VStream::Flush()
{
    if (flushTarget != nullptr)
        flushTarget->write(Buffer(), putOffset);
    putOffset = 0;
}

void VStream::PutByte(char c)
{
    GuaranteeBuffer(1);
    Buffer()[putOffset++] = c;
}

void VStream::PutByte(char c, unsigned long n)
{
    if (n == 0)
        return;
    GuaranteeBuffer(n);
    std::memset(Buffer() + putOffset, c, n);
    putOffset += static_cast<uint32_t>(n);
}

void VStream::PutBytes(const char* bytes, unsigned long n)
{
    if (bytes == nullptr || n == 0)
        return;
    GuaranteeBuffer(n);
    std::memcpy(Buffer() + putOffset, bytes, n);
    putOffset += static_cast<uint32_t>(n);
}

void VStream::PutChar(unsigned long code)
{
    if (charset->PutChar(this, code))
        return;
    if (encoding->PutOutOfRangeChar(this, code))
        return;
    if (outOfRangeChar != 0)
        charset->PutChar(this, static_cast<unsigned char>(outOfRangeChar));
}

void VStream::PopEOT()
{
    state &= ~(kGtPopped | kSlashPopped);
    if (!charset->PopEOT(this, '>'))
        return;
    state |= kGtPopped;
    if (charset->PopEOT(this, '/'))
        state |= kSlashPopped;
}

void VStream::PushEOT()
{
    uint32_t popped = state;
    state &= ~(kGtPopped | kSlashPopped);
    if (popped & kSlashPopped)
        PutChar('/');
    if (popped & kGtPopped)
        PutChar('>');
}

// ---------------------------------------------------------------- text

void VStream::PadCounts(unsigned long length, unsigned long& before, unsigned long& after) const
{
    before = 0;
    after = 0;
    if (fieldWidth <= length)
        return;
    unsigned long pad = fieldWidth - length;
    switch (justify) {
    case VStream_NS::rightjustify:
    case VStream_NS::decimaljustify:
        before = pad;
        break;
    case VStream_NS::centerleftjustify:
        before = pad / 2;
        after = pad - before;
        break;
    case VStream_NS::centerrightjustify:
        after = pad / 2;
        before = pad - after;
        break;
    default:
        after = pad;
        break;
    }
}

void VStream::PutPadding(unsigned long n)
{
    for (unsigned long i = 0; i < n; ++i)
        PutChar(' ');
}

void VStream::Put(const char* s)
{
    if (s == nullptr)
        s = "";
    unsigned long before = 0;
    unsigned long after = 0;
    PadCounts(std::strlen(s), before, after);
    PutPadding(before);
    for (; *s != '\0'; ++s)
        PutChar(static_cast<unsigned char>(*s));
    PutPadding(after);
    fieldWidth = 0;
}

void VStream::Put(char c)
{
    PutChar(static_cast<unsigned char>(c));
    fieldWidth = 0;
}

// ---------------------------------------------------------------- numbers

void VStream::Put(long long v, unsigned int size)
{
    if (radix == VStream_NS::base16) {
        PutBase16(static_cast<unsigned long long>(v), v < 0, size);
        return;
    }
    bool negative = v < 0;
    unsigned long long magnitude = static_cast<unsigned long long>(v);
    if (negative)
        magnitude = 0ULL - magnitude;
    PutRadix(magnitude, negative, size);
}

void VStream::Put(unsigned long long v, unsigned int size)
{
    PutRadix(v, false, size);
}

void VStream::PutRadix(unsigned long long magnitude, bool negative, unsigned int size)
{
    switch (radix) {
    case VStream_NS::base16:
        PutBase16(magnitude, negative, size);
        break;
    case VStream_NS::power1024:
        PutPower1024(magnitude, negative);
        break;
    case VStream_NS::binary:
        fieldWidth = 0;
        break;
    default:
        PutBase10(magnitude, negative);
        break;
    }
}

void VStream::Put(double v)
{
    if (radix == VStream_NS::binary) {
        fieldWidth = 0;
        return;
    }
    if (radix == VStream_NS::base16 || radix == VStream_NS::power1024) {
        double m = std::isnan(v) ? 0.0 : std::fabs(v);
        unsigned long long u = m >= 18446744073709551616.0 ? ULLONG_MAX : static_cast<unsigned long long>(m);
        bool negative = v < 0 && u != 0;
        if (radix == VStream_NS::power1024)
            PutPower1024(u, negative);
        else
            PutBase16(negative ? 0ULL - u : u, negative, 8);
        return;
    }
    if (std::isnan(v)) {
        Put("nan");
        return;
    }
    if (std::isinf(v)) {
        Put(v < 0 ? "-inf" : "inf");
        return;
    }
    char digits[kDigitCap];
    unsigned int intCount = 0;
    unsigned int fracCount = 0;
    exactDecimal(std::fabs(v), digits, intCount, fracCount);
    exponent = 0;
    PutDigits(digits, intCount, fracCount, std::signbit(v));
}

void VStream::PutBase10(unsigned long long magnitude, bool negative)
{
    char digits[20];
    unsigned int n = decimalDigits(magnitude, digits);
    exponent = 0;
    PutDigits(digits, n, 0, negative);
}

// Negative values print their two's-complement bits; leading all-ones nibbles
// are folded into the fill, except one that keeps the sign when the next
// nibble would read as positive (a value wider than `size` stays whole).
void VStream::PutBase16(unsigned long long value, bool negative, unsigned int size)
{
    const char* table = IsCapitals() ? kUpperDigits : kLowerDigits;
    unsigned int skip = negative ? 0xF : 0x0;
    int top = 15;
    while (top >= 0 && ((value >> (4 * top)) & 0xF) == skip)
        --top;
    if (negative && top >= 0 && top < 15 && ((value >> (4 * top)) & 0xF) < 8)
        ++top;
    char digits[16];
    unsigned int n = 0;
    for (int i = top; i >= 0; --i)
        digits[n++] = table[(value >> (4 * i)) & 0xF];

    unsigned long minDigits = numericPrecision != 0 ? numericPrecision : (negative ? 2UL * size : 0);
    minDigits = std::max(minDigits, 1UL);
    unsigned long fill = minDigits > n ? minDigits - n : 0;
    unsigned int prefixLen = 0;
    while (prefixLen < kHexPrefixLen && hexPrefix[prefixLen] != '\0')
        ++prefixLen;

    unsigned long before = 0;
    unsigned long after = 0;
    PadCounts(prefixLen + fill + n, before, after);
    PutPadding(before);
    for (unsigned int i = 0; i < prefixLen; ++i)
        PutChar(static_cast<unsigned char>(hexPrefix[i]));
    for (unsigned long i = 0; i < fill; ++i)
        PutChar(negative ? table[15] : '0');
    for (unsigned int i = 0; i < n; ++i)
        PutChar(static_cast<unsigned char>(digits[i]));
    PutPadding(after);
    fieldWidth = 0;
}

// Steps of 1024; the bits shifted out become the fraction digits.
void VStream::PutPower1024(unsigned long long magnitude, bool negative)
{
    unsigned long long threshold = IsPower1024StepUp() ? 1000 : 1024;
    unsigned long long whole = magnitude;
    unsigned int shiftBits = 0;
    while (whole >= threshold) {
        whole >>= 10;
        shiftBits += 10;
    }
    exponent = static_cast<int32_t>(shiftBits / 10);

    char digits[20 + kMaxPower1024Fraction];
    unsigned int intCount = decimalDigits(whole, digits);
    unsigned int fracCount = 0;
    if (shiftBits != 0) {
        // At most 60 bits are shifted out, so ten times the rest fits in 64.
        unsigned long long mask = (1ULL << shiftBits) - 1;
        unsigned long long rest = magnitude & mask;
        while (rest != 0 && fracCount < kMaxPower1024Fraction) {
            rest *= 10;
            digits[intCount + fracCount++] = static_cast<char>('0' + (rest >> shiftBits));
            rest &= mask;
        }
    }
    PutDigits(digits, intCount, fracCount, negative);
}

void VStream::PutDigits(const char* digits, unsigned int intCount, unsigned int fracCount, bool negative)
{
    Digits w;
    if (intCount == 0) {
        w.d[0] = '0';
        w.intCount = 1;
    } else {
        w.intCount = std::min(intCount, kDigitCap / 2);
        std::memcpy(w.d, digits, w.intCount);
    }
    w.fracCount = std::min(fracCount, kDigitCap - w.intCount);
    std::memcpy(w.d + w.intCount, digits + intCount, w.fracCount);

    bool scientific = radix == VStream_NS::engineering || radix == VStream_NS::power10;
    if (scientific)
        Normalise(w);

    unsigned int natural = (scientific || radix == VStream_NS::power1024) ? kScientificPrecision
                                                                           : w.intCount + w.fracCount;
    unsigned int significant = numericPrecision != 0 ? std::min(numericPrecision, kMaxPrecision) : natural;
    auto fractionDigits = [&]() -> unsigned int {
        if (decimalPrecision != 0) {
            unsigned int room = w.intCount < kMaxPrecision ? kMaxPrecision - w.intCount : 0;
            return std::min(decimalPrecision, room);
        }
        return std::max(significant, w.intCount) - w.intCount;
    };

    unsigned int fracWanted = fractionDigits();
    unsigned int intBefore = w.intCount;
    if (RoundTo(w, fracWanted)) {
        // A value just below the step rounds up to a whole step: show it in
        // the next unit instead.
        if (radix == VStream_NS::power1024 && w.intCount == 4 &&
            std::all_of(w.d + 4, w.d + 4 + w.fracCount, [](char c) { return c == '0'; })) {
            if (!IsPower1024StepUp() && std::memcmp(w.d, "1024", 4) == 0) {
                ++exponent;
                PutDigits("1", 1, 0, negative);
                return;
            }
            if (IsPower1024StepUp() && std::memcmp(w.d, "1000", 4) == 0) {
                ++exponent;
                PutDigits("09765625", 1, 7, negative);  // 1000 / 1024
                return;
            }
        }
        // A carry that adds an integer digit is undone by one more exponent
        // step; every digit behind the carry is zero then.
        unsigned int limit = radix == VStream_NS::power10 ? 1 : radix == VStream_NS::engineering ? 3 : UINT_MAX;
        if (w.intCount > limit && w.intCount > intBefore) {
            unsigned int step = radix == VStream_NS::power10 ? 1 : 3;
            w.intCount -= step;
            w.fracCount += step;
            exponent += static_cast<int32_t>(step);
        }
        fracWanted = fractionDigits();
        w.fracCount = std::min(w.fracCount, fracWanted);
    }
    EmitDigits(w, fracWanted, negative);
}

// One integer digit and an exponent; engineering keeps exponents that are
// multiples of three and moves the rest into the integer part.
void VStream::Normalise(Digits& w)
{
    unsigned int total = w.intCount + w.fracCount;
    unsigned int first = 0;
    while (first < total && w.d[first] == '0')
        ++first;
    if (first == total) {
        std::memmove(w.d, w.d + w.intCount - 1, w.fracCount + 1);
        w.intCount = 1;
        return;
    }
    exponent += static_cast<int32_t>(w.intCount) - 1 - static_cast<int32_t>(first);
    std::memmove(w.d, w.d + first, total - first);
    w.intCount = 1;
    w.fracCount = total - first - 1;
    if (radix != VStream_NS::engineering)
        return;
    unsigned int r = static_cast<unsigned int>(((exponent % 3) + 3) % 3);
    exponent -= static_cast<int32_t>(r);
    while (w.fracCount < r)
        w.d[1 + w.fracCount++] = '0';
    w.intCount += r;
    w.fracCount -= r;
}

// Keeps fracWanted fraction digits, rounding half up unless truncating.
// Returns true when the digits were rounded up.
bool VStream::RoundTo(Digits& w, unsigned int fracWanted)
{
    if (fracWanted >= w.fracCount)
        return false;
    unsigned int cut = w.intCount + fracWanted;
    bool up = !IsTruncate() && w.d[cut] >= '5';
    w.fracCount = fracWanted;
    if (!up)
        return false;
    int i = static_cast<int>(cut) - 1;
    while (i >= 0 && w.d[i] == '9')
        w.d[i--] = '0';
    if (i >= 0) {
        ++w.d[i];
    } else {
        --w.d;
        w.d[0] = '1';
        ++w.intCount;
    }
    return true;
}

void VStream::EmitDigits(const Digits& w, unsigned int fracWanted, bool negative)
{
    char expText[2 + kMaxExponentDigits + 10];
    unsigned int expLen = 0;
    bool hasExponent = radix == VStream_NS::engineering || radix == VStream_NS::power10 ||
                       radix == VStream_NS::power1024;
    if (hasExponent && !IsNoExponent()) {
        if (radix == VStream_NS::power1024)
            expText[expLen++] = IsCapitals() ? 'K' : 'k';
        else
            expText[expLen++] = IsCapitals() ? 'E' : 'e';
        if (exponent < 0)
            expText[expLen++] = '-';
        else if (IsShowPositiveExponent())
            expText[expLen++] = '+';
        unsigned long long mag = static_cast<unsigned long long>(exponent < 0 ? -static_cast<long long>(exponent)
                                                                              : exponent);
        char expDigits[20];
        unsigned int n = decimalDigits(mag, expDigits);
        for (unsigned int i = n; i < std::min(exponentPrecision, kMaxExponentDigits); ++i)
            expText[expLen++] = '0';
        std::memcpy(expText + expLen, expDigits, n);
        expLen += n;
    }

    char sign = 0;
    if (negative && !IsNoNegative())
        sign = '-';
    else if (!negative && IsShowPositive())
        sign = '+';
    bool dropLeadZero = IsNoLeadZero() && w.intCount == 1 && w.d[0] == '0' && fracWanted > 0;
    unsigned int intShown = dropLeadZero ? 0 : w.intCount;
    bool separate = !IsNo1000Seperator() && intShown > 3;
    unsigned long separators = separate ? (intShown - 1) / 3 : 0;

    unsigned long pre = (sign != 0 ? 1 : 0) + intShown + separators;
    unsigned long post = (fracWanted > 0 ? 1 + fracWanted : (IsShowDecimal() ? 1 : 0)) + expLen;
    unsigned long before = 0;
    unsigned long after = 0;
    if (IsDecimalJustify())
        before = fieldWidth > pre ? fieldWidth - pre : 0;  // decimal points of a column line up
    else
        PadCounts(pre + post, before, after);

    PutPadding(before);
    if (sign != 0)
        PutChar(static_cast<unsigned char>(sign));
    for (unsigned int i = 0; i < intShown; ++i) {
        if (separate && i > 0 && (intShown - i) % 3 == 0)
            PutChar(static_cast<unsigned char>(thousandSep));
        PutChar(static_cast<unsigned char>(w.d[i]));
    }
    if (fracWanted > 0) {
        PutChar(static_cast<unsigned char>(decimalChar));
        for (unsigned int j = 0; j < fracWanted; ++j)
            PutChar(static_cast<unsigned char>(j < w.fracCount ? w.d[w.intCount + j] : '0'));
    } else if (IsShowDecimal()) {
        PutChar(static_cast<unsigned char>(decimalChar));
    }
    for (unsigned int i = 0; i < expLen; ++i)
        PutChar(static_cast<unsigned char>(expText[i]));
    PutPadding(after);
    fieldWidth = 0;
}

// ---------------------------------------------------------------- operators

VStream& VStream::operator<<(const char* s)
{
    Put(s);
    return *this;
}

VStream& VStream::operator<<(char c)
{
    Put(c);
    return *this;
}

VStream& VStream::operator<<(unsigned char v)
{
    Put(static_cast<unsigned long long>(v), 1);
    return *this;
}

VStream& VStream::operator<<(unsigned short v)
{
    Put(static_cast<unsigned long long>(v), 2);
    return *this;
}

VStream& VStream::operator<<(int v)
{
    Put(static_cast<long long>(v), 4);
    return *this;
}

VStream& VStream::operator<<(unsigned int v)
{
    Put(static_cast<unsigned long long>(v), 4);
    return *this;
}

VStream& VStream::operator<<(long v)
{
    Put(static_cast<long long>(v), 4);
    return *this;
}

VStream& VStream::operator<<(unsigned long v)
{
    Put(static_cast<unsigned long long>(v), 4);
    return *this;
}

VStream& VStream::operator<<(VStreamFormat_MC f)
{
    format = (format & ~f.mask) | (f.value & f.mask);
    return *this;
}

VStream& VStream::operator<<(VStream_NS::Radix_E r)
{
    radix = r;
    return *this;
}

VStream& VStream::operator<<(VStream_NS::Justify_E j)
{
    justify = j;
    return *this;
}

VStream& VStream::operator<<(VStream_NS::Defaults_E)
{
    SetDefaults();
    return *this;
}

VStream& VStream::operator<<(VStreamFieldWidth_MC m)
{
    fieldWidth = m.value;
    return *this;
}

VStream& VStream::operator<<(VStreamNumericPrecision_MC m)
{
    numericPrecision = m.value;
    return *this;
}

VStream& VStream::operator<<(VStreamDecimalPrecision_MC m)
{
    decimalPrecision = m.value;
    return *this;
}

VStream& VStream::operator<<(VStreamExponentPrecision_MC m)
{
    exponentPrecision = m.value;
    return *this;
}
