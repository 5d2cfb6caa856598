// wsprintfA and wvsprintfA as the user library has them: integers, characters and texts
// only, at most 1024 characters of output plus the NUL (the rest is cut), a null text
// printed as "(null)", %p as the pointer in upper-case hex digits of full width, and the
// '#' flag always adding its "0x"/"0X" prefix. Every integer conversion takes an int-sized
// argument ('l' names the 32-bit LONG, 'h' a short); there is no floating point.
#include "platform/posix/win32.h"

#include <cstring>

namespace {

constexpr int kMaxOutput = 1024;

// Output that stops after kMaxOutput characters, however much the format asks for.
class BoundedOutput {
public:
    explicit BoundedOutput(char* out) : out_(out) {}
    void Put(char c) {
        if (count_ < kMaxOutput) out_[count_++] = c;
    }
    void Put(const char* text, int length) {
        for (int i = 0; i < length; ++i) Put(text[i]);
    }
    void Repeat(char c, int times) {
        for (int i = 0; i < times; ++i) Put(c);
    }
    int Finish() {
        out_[count_] = '\0';
        return count_;
    }

private:
    char* out_;
    int count_ = 0;
};

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    bool hexPrefix = false;
    int width = 0;
    int precision = -1;  // -1: none given
    char size = 0;       // 'l', 'h' or 0
    char type = 0;
};

// Reads the flags, width, precision and size of one conversion; `format` points past '%'.
const char* ParseConversion(const char* format, Conversion& conv) {
    for (;; ++format) {
        if (*format == '-')
            conv.leftAlign = true;
        else if (*format == '0')
            conv.zeroPad = true;
        else if (*format == '#')
            conv.hexPrefix = true;
        else
            break;
    }
    // Widths and precisions are capped: nothing longer than the output can matter, and the
    // cap keeps a hostile format from overflowing the counter.
    for (; *format >= '0' && *format <= '9'; ++format) {
        if (conv.width <= kMaxOutput) conv.width = conv.width * 10 + (*format - '0');
    }
    if (*format == '.') {
        conv.precision = 0;
        for (++format; *format >= '0' && *format <= '9'; ++format) {
            if (conv.precision <= kMaxOutput)
                conv.precision = conv.precision * 10 + (*format - '0');
        }
    }
    if (*format == 'l' || *format == 'h' || *format == 'w') {
        conv.size = *format == 'h' ? 'h' : 'l';
        ++format;
    }
    conv.type = *format;
    return *format == '\0' ? format : format + 1;
}

void PutPadded(BoundedOutput& out, const Conversion& conv, const char* text, int length) {
    int pad = conv.width > length ? conv.width - length : 0;
    if (!conv.leftAlign) out.Repeat(' ', pad);
    out.Put(text, length);
    if (conv.leftAlign) out.Repeat(' ', pad);
}

// Lays out a number: sign or prefix, zeros up to the precision (or, with '0' and no
// precision, up to the width), then the digits, padded with blanks to the width.
void PutNumber(BoundedOutput& out, const Conversion& conv, const char* lead, const char* digits) {
    int leadLength = static_cast<int>(std::strlen(lead));
    int digitCount = static_cast<int>(std::strlen(digits));
    int zeros = conv.precision > digitCount ? conv.precision - digitCount : 0;
    int body = leadLength + zeros + digitCount;
    int pad = conv.width > body ? conv.width - body : 0;
    if (conv.zeroPad && !conv.leftAlign && conv.precision < 0) {
        zeros += pad;
        pad = 0;
    }
    if (!conv.leftAlign) out.Repeat(' ', pad);
    out.Put(lead, leadLength);
    out.Repeat('0', zeros);
    out.Put(digits, digitCount);
    if (conv.leftAlign) out.Repeat(' ', pad);
}

// Digits of `value` in `base`; returns the first digit inside `buffer` (which ends in NUL).
char* FormatDigits(uint64_t value, unsigned base, bool upper, char (&buffer)[24]) {
    const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char* p = buffer + sizeof(buffer) - 1;
    *p = '\0';
    do {
        *--p = digitSet[value % base];
        value /= base;
    } while (value != 0);
    return p;
}

}  // namespace

int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args) {
    if (out == nullptr) return 0;
    BoundedOutput output(out);
    if (format == nullptr) return output.Finish();
    while (*format != '\0') {
        if (*format != '%') {
            output.Put(*format++);
            continue;
        }
        Conversion conv;
        format = ParseConversion(format + 1, conv);
        char buffer[24];
        switch (conv.type) {
            case 'c': {
                char c = static_cast<char>(va_arg(args, int));
                PutPadded(output, conv, &c, 1);
                break;
            }
            case 's': {
                const char* text = va_arg(args, const char*);
                if (text == nullptr) text = "(null)";
                int length = 0;
                while (text[length] != '\0' && (conv.precision < 0 || length < conv.precision)) {
                    ++length;
                }
                PutPadded(output, conv, text, length);
                break;
            }
            case 'd':
            case 'i': {
                int value = va_arg(args, int);
                if (conv.size == 'h') value = static_cast<short>(value);
                uint64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
                PutNumber(output, conv, value < 0 ? "-" : "",
                          FormatDigits(magnitude, 10, false, buffer));
                break;
            }
            case 'u': {
                unsigned value = va_arg(args, unsigned);
                if (conv.size == 'h') value = static_cast<unsigned short>(value);
                PutNumber(output, conv, "", FormatDigits(value, 10, false, buffer));
                break;
            }
            case 'x':
            case 'X': {
                unsigned value = va_arg(args, unsigned);
                if (conv.size == 'h') value = static_cast<unsigned short>(value);
                bool upper = conv.type == 'X';
                const char* prefix = conv.hexPrefix ? (upper ? "0X" : "0x") : "";
                PutNumber(output, conv, prefix, FormatDigits(value, 16, upper, buffer));
                break;
            }
            case 'p': {
                Conversion pointerConv;
                pointerConv.precision = static_cast<int>(2 * sizeof(void*));
                auto value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
                PutNumber(output, pointerConv, "", FormatDigits(value, 16, true, buffer));
                break;
            }
            case '\0': break;
            default:
                // Anything else, "%%" included, stands for itself.
                output.Put(conv.type);
                break;
        }
    }
    return output.Finish();
}

int wsprintfA(LPSTR out, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int written = wvsprintfA(out, format, args);
    va_end(args);
    return written;
}
