// A code-set library of the tests' own, in the module's code-set state while the object
// lives, for the tests and fuzz targets that convert incoming text without the real library:
// the worst case it claims, and what it does to each incoming byte (repeat it, upper-case
// it, put 0xC3 before it from 0x80 on as UTF-8 widens, drop it as a library holds back the
// start of a character, or refuse the block that holds it or that would pass a count of
// bytes). Text going to `plainDestination` (a control connection's receive buffer) and
// outgoing text pass unchanged.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>

#include "codeset/code_set_state.h"

namespace tvtest {

struct StandInRules {
    LONG worstCase = 1;
    int repeat = 1;
    bool upperCase = false;
    bool widen = false;
    int dropped = -1;
    int refused = -1;
    LONG refuseAfter = -1;
    const char* plainDestination = nullptr;
};

class StandInConversion {
public:
    explicit StandInConversion(const StandInRules& rules) {
        rules_ = rules;
        largestBlock = passed = 0;
        incoming_.outputLength = 0;
        gCodeSet.functions.convertBlock = ConvertBlock;
        gCodeSet.functions.howManyTimesInWorstCase = WorstCase;
        gCodeSet.incoming = &incoming_;
        gCodeSet.conversionActive = true;
        gCodeSet.conversionDisabled = false;
    }
    ~StandInConversion() {
        InstallCcssFallbacks();
        gCodeSet.outgoing = gCodeSet.incoming = BuiltInContext();
        gCodeSet.conversionActive = gCodeSet.conversionDisabled = false;
    }
    StandInConversion(const StandInConversion&) = delete;
    StandInConversion& operator=(const StandInConversion&) = delete;

    // The rules in force, for a test to change on the way.
    static StandInRules& rules() { return rules_; }
    static inline LONG largestBlock = 0;  // the largest incoming block converted
    static inline LONG passed = 0;        // the incoming bytes converted in all

private:
    static LONG Apply(const char* source, LONG length, char* to) {
        LONG written = 0;
        for (LONG i = 0; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(source[i]);
            if (byte == rules_.refused) return -1;
            if (byte == rules_.dropped) continue;
            if (rules_.widen && byte >= 0x80) to[written++] = '\xC3';
            const char c = static_cast<char>(rules_.upperCase ? std::toupper(byte) : byte);
            for (int r = 0; r < rules_.repeat; ++r) to[written++] = c;
        }
        return written;
    }
    static LONG WINAPI ConvertBlock(CcssContext* context, const char* source, LONG length,
                                    char* to) {
        LONG written = length;
        if (context != &incoming_ || to == rules_.plainDestination) {
            std::memcpy(to, source, static_cast<size_t>(length));
        } else {
            if (rules_.refuseAfter >= 0 && passed + length > rules_.refuseAfter) return 3;
            if ((written = Apply(source, length, to)) < 0) return 3;
            largestBlock = std::max(largestBlock, length);
            passed += length;
        }
        context->outputLength = written;
        return CCSS_CONVERTED;
    }
    static LONG WINAPI WorstCase(CcssContext* context) {
        return context == &incoming_ ? rules_.worstCase : 1;
    }
    static inline StandInRules rules_;
    static inline CcssContext incoming_{0};
};

}  // namespace tvtest
