#pragma once

// CFormatter: the worker behind GString::AppendFormatV. One object runs one
// format text over one argument list and writes straight into the target's
// block: every directive computes its exact output length first, makes room
// once and then fills the reserved characters in place.
//
// Text/Format.cpp holds the main loop and the integer, character, string,
// byte dump, address and GUID conversions; text/FormatFloat.cpp the
// floating-point and size conversions, which build 8-bit text in the
// target's scratch string.

#include "text/GString.h"

#include <stdarg.h>

class CFormatter
{
public:
    CFormatter(GString& target, va_list args);
    ~CFormatter();

    // Append the formatted text; 1 on success, 0 when a directive failed
    // (the text appended before that directive stays, terminated).
    int Run(const wch* format);

    enum
    {
        kFlagMinus = 0x01,
        kFlagPlus = 0x02,
        kFlagSpace = 0x04,
        kFlagZero = 0x08,
        kFlagHash = 0x10,
        kFlagStrict = 0x20,
        kFlagGroup = 0x40
    };
    enum
    {
        kModNone,
        kModShort,
        kModLong,
        kModLongLong
    };

    struct Directive
    {
        int flags;
        int width;      // -1 when none was given
        int precision;  // 0 when none was given
        int modifier;
        wch conversion;
    };

private:
    CFormatter(const CFormatter&);
    CFormatter& operator=(const CFormatter&);

    // Arguments in the order the directives call for them.
    int ArgInt();
    u32 ArgU32();
    i64 ArgI64();
    u64 ArgU64();
    double ArgDouble();
    const void* ArgPointer();

    // Reserve the converted text of `length` characters plus the fill of
    // the width, write the left fill and return where the text goes; null
    // when the room cannot be made. Finish writes the right fill after it.
    wch* Open(const Directive& d, i64 length);
    void Finish(wch* end);
    // A fixed ASCII token ("{null}", the special floating-point values)
    // with the fill of the width.
    int Token(const Directive& d, const char* token);

    // A pointer into the target's block would dangle when Open moves the
    // block; Anchor and Rebase carry it across.
    intptr_t Anchor(const void* p) const;
    const void* Rebase(const void* p, intptr_t anchor) const;

    const wch* Parse(const wch* p, Directive& d);
    int Convert(const Directive& d);
    int Integer(const Directive& d);
    int Character(const Directive& d);
    int String(const Directive& d);
    int WideSource(const Directive& d, const wch* text, int limit, int upper);
    int NarrowSource(const Directive& d, const char* text, int limit, int upper);
    int Bytes(const Directive& d);
    int Address(const Directive& d);
    int Guid(const Directive& d);

    // text/FormatFloat.cpp
    int Floating(const Directive& d);
    int FloatFixed(const Directive& d, double x, char* out, char* digits);
    int FloatExponent(const Directive& d, double x, char* out, char* digits);
    int FloatGeneral(const Directive& d, double x, char* out, char* digits);
    int FloatHex(const Directive& d, double x, char* out);
    int Engineering(const Directive& d, double x, int negative, char* out, char* digits);
    int Size(const Directive& d, u64 magnitude, int negative, char* out, char* digits);

    GString& m_target;
    va_list m_args;
    int m_startLength;
    int m_rightFill;
};
