#ifndef VYN_COMMON_VSTREAM_H
#define VYN_COMMON_VSTREAM_H

#include <cstdint>

#include "common/Buffer.h"

class VStream;

// Receives the text of a full stream when the stream flushes.
class VStreamFlushTarget_C {
public:
    virtual ~VStreamFlushTarget_C() = default;
    virtual void write(const void* buffer, unsigned long length) = 0;
};

// Turns character codes into bytes of the stream; refuses codes it cannot hold.
class VStreamCharset_C {
public:
    virtual ~VStreamCharset_C() = default;
    virtual bool PutChar(VStream* stream, unsigned long code) = 0;
    // Removes the character `code` when the text ends with it.
    virtual bool PopEOT(VStream* stream, unsigned long code) = 0;
    virtual const char* Charset() const = 0;

protected:
    static bool RemoveLastByte(VStream* stream, unsigned char byte);
};

class VStreamIso8859_1_C : public VStreamCharset_C {
public:
    bool PutChar(VStream* stream, unsigned long code) override;
    bool PopEOT(VStream* stream, unsigned long code) override;
    const char* Charset() const override { return "iso-8859-1"; }
};

// Second chance for a code the charset refused.
class VStreamEncoding_C {
public:
    virtual ~VStreamEncoding_C() = default;
    virtual bool PutOutOfRangeChar(VStream* stream, unsigned long code) = 0;
    virtual const char* Encoding() const = 0;
};

class VStreamNopEncoding_C : public VStreamEncoding_C {
public:
    bool PutOutOfRangeChar(VStream*, unsigned long) override { return false; }
    const char* Encoding() const override { return "nop"; }
};

class VStreamException : public DynamicBufferException {
public:
    enum { PieceTooLarge = 2 };
    explicit VStreamException(int32_t c) : DynamicBufferException(c) {}
};

// Option bit of the stream's format word: applying it replaces the masked
// bits by `value`.
struct VStreamFormat_MC {
    uint32_t mask;
    uint32_t value;
};

struct VStreamFieldWidth_MC {
    unsigned int value;
    constexpr VStreamFieldWidth_MC operator()(unsigned int v) const { return VStreamFieldWidth_MC{v}; }
};
struct VStreamNumericPrecision_MC {
    unsigned int value;
    constexpr VStreamNumericPrecision_MC operator()(unsigned int v) const { return VStreamNumericPrecision_MC{v}; }
};
struct VStreamDecimalPrecision_MC {
    unsigned int value;
    constexpr VStreamDecimalPrecision_MC operator()(unsigned int v) const { return VStreamDecimalPrecision_MC{v}; }
};
struct VStreamExponentPrecision_MC {
    unsigned int value;
    constexpr VStreamExponentPrecision_MC operator()(unsigned int v) const { return VStreamExponentPrecision_MC{v}; }
};

namespace VStream_NS {

inline constexpr VStreamFormat_MC no1000sep{0x1, 0x1};
inline constexpr VStreamFormat_MC noleadzero{0x2, 0x2};
inline constexpr VStreamFormat_MC showpositive{0x4, 0x4};
inline constexpr VStreamFormat_MC showpositiveexponent{0x8, 0x8};
inline constexpr VStreamFormat_MC nonegative{0x10, 0x10};
inline constexpr VStreamFormat_MC showdecimalpoint{0x20, 0x20};
inline constexpr VStreamFormat_MC power1024stepup{0x40, 0x40};
inline constexpr VStreamFormat_MC capitals{0x80, 0x80};
inline constexpr VStreamFormat_MC noexponent{0x100, 0x100};
inline constexpr VStreamFormat_MC truncate{0x200, 0x200};

enum Radix_E : int32_t { base10 = 0, engineering = 1, power10 = 2, base16 = 3, power1024 = 4, binary = 5 };
enum Justify_E : int32_t {
    leftjustify = 0,
    rightjustify = 1,
    centerleftjustify = 2,
    centerrightjustify = 3,
    decimaljustify = 4
};
// Restores every formatting setting of the stream.
enum Defaults_E : int32_t { defaults = 0 };

inline constexpr VStreamFieldWidth_MC fieldwidth{0};
inline constexpr VStreamNumericPrecision_MC numprecision{0};
inline constexpr VStreamDecimalPrecision_MC decprecision{0};
inline constexpr VStreamExponentPrecision_MC expprecision{0};

}  // namespace VStream_NS

// Text-formatting stream over a buffer that it owns and grows, or over a
// caller's fixed buffer that it never grows: such a stream restarts at the
// beginning when it fills up and marks the overflow. Four bytes past the
// text always stay free, so Terminate() never needs room.
class VStream : private DynamicBuffer {
public:
    explicit VStream(unsigned long size);
    VStream(void* buffer, unsigned long size);
    virtual ~VStream();

    char* Buffer() const { return static_cast<char*>(DynamicBuffer::Buffer()); }
    unsigned long BufferSize() const { return Size(); }
    unsigned long PutOffset() const { return putOffset; }
    bool IsOverflow() const { return (state & kOverflow) != 0; }

    void Terminate();
    void Discard();
    void Flush();

    void PutByte(char c);
    void PutByte(char c, unsigned long n);
    void PutBytes(const char* bytes, unsigned long n);
    void PutChar(unsigned long code);

    void Put(const char* s);
    void Put(char c);
    void Put(long long v, unsigned int size);
    void Put(unsigned long long v, unsigned int size);
    void Put(double v);

    VStream& operator<<(const char* s);
    VStream& operator<<(char c);
    VStream& operator<<(unsigned char v);
    VStream& operator<<(unsigned short v);
    VStream& operator<<(int v);
    VStream& operator<<(unsigned int v);
    VStream& operator<<(long v);
    VStream& operator<<(unsigned long v);

    VStream& operator<<(VStreamFormat_MC f);
    VStream& operator<<(VStream_NS::Radix_E r);
    VStream& operator<<(VStream_NS::Justify_E j);
    VStream& operator<<(VStream_NS::Defaults_E);
    VStream& operator<<(VStreamFieldWidth_MC m);
    VStream& operator<<(VStreamNumericPrecision_MC m);
    VStream& operator<<(VStreamDecimalPrecision_MC m);
    VStream& operator<<(VStreamExponentPrecision_MC m);

    void SetDefaults();
    void SetNo1000Seperator() { format |= VStream_NS::no1000sep.value; }
    void SetThousandSep(char c) { thousandSep = c; }
    char ThousandSep() const { return thousandSep; }
    char GetHexPrefixChar(unsigned int i) const { return i < kHexPrefixLen ? hexPrefix[i] : 0; }
    void SetHexPrefixChar(unsigned int i, char c);

    bool IsLeftJustify() const { return justify == VStream_NS::leftjustify; }
    bool IsRightJustify() const { return justify == VStream_NS::rightjustify; }
    bool IsCenterLeftJustify() const { return justify == VStream_NS::centerleftjustify; }
    bool IsDecimalJustify() const { return justify == VStream_NS::decimaljustify; }
    bool IsCapitals() const { return Has(VStream_NS::capitals); }
    bool IsPower1024StepUp() const { return Has(VStream_NS::power1024stepup); }
    bool IsShowDecimal() const { return Has(VStream_NS::showdecimalpoint); }
    bool IsNoLeadZero() const { return Has(VStream_NS::noleadzero); }
    bool IsShowPositive() const { return Has(VStream_NS::showpositive); }
    bool IsNoNegative() const { return Has(VStream_NS::nonegative); }
    bool IsShowPositiveExponent() const { return Has(VStream_NS::showpositiveexponent); }
    bool IsNoExponent() const { return Has(VStream_NS::noexponent); }
    bool IsNo1000Seperator() const { return Has(VStream_NS::no1000sep); }
    bool IsPower1024() const { return radix == VStream_NS::power1024; }
    bool IsTruncate() const { return Has(VStream_NS::truncate); }
    bool IsNoAutoFlush() const { return (state & kNoAutoFlush) != 0; }
    bool IsEotGtPopped() const { return (state & kGtPopped) != 0; }
    bool IsEotSlashPopped() const { return (state & kSlashPopped) != 0; }

    // Reopens an element closed by ">" or "/>", and closes it again.
    void PopEOT();
    void PushEOT();

private:
    friend class VStreamCharset_C;

    static constexpr uint32_t kNoAutoFlush = 0x1;
    static constexpr uint32_t kGtPopped = 0x2;
    static constexpr uint32_t kSlashPopped = 0x4;
    static constexpr uint32_t kOverflow = 0x8;
    static constexpr unsigned int kHexPrefixLen = 4;

    struct Digits;

    bool Has(VStreamFormat_MC f) const { return (format & f.mask) != 0; }
    bool IsGrowable() const;
    void GuaranteeBuffer(unsigned long n);
    void PutPadding(unsigned long n);
    void PadCounts(unsigned long length, unsigned long& before, unsigned long& after) const;
    void PutRadix(unsigned long long magnitude, bool negative, unsigned int size);
    void PutBase10(unsigned long long magnitude, bool negative);
    void PutBase16(unsigned long long value, bool negative, unsigned int size);
    void PutPower1024(unsigned long long magnitude, bool negative);
    void PutDigits(const char* digits, unsigned int intCount, unsigned int fracCount, bool negative);
    void Normalise(Digits& d);
    bool RoundTo(Digits& d, unsigned int fracWanted);
    void EmitDigits(const Digits& d, unsigned int fracWanted, bool negative);

    VStreamFlushTarget_C* flushTarget;
    VStreamCharset_C* charset;
    VStreamEncoding_C* encoding;
    uint32_t putOffset;
    uint32_t state;
    VStream_NS::Radix_E radix;
    uint32_t numericPrecision;
    uint32_t decimalPrecision;
    uint32_t exponentPrecision;
    int32_t exponent;
    uint32_t format;
    char hexPrefix[kHexPrefixLen];
    VStream_NS::Justify_E justify;
    uint32_t fieldWidth;
    char outOfRangeChar;
    char decimalChar;
    char thousandSep;
};

#endif
