// Which converter a TextFormat selects for each output side, and the state it starts in.
#include "transfer/converters.h"

namespace {

struct ConverterChoice {
    int32_t textFormat;
    Converter converter;
};

// Toward another server the text must stay network text; toward the local file it becomes
// the local convention, lines ending in CR LF. The two differ only for LF-only text.
constexpr ConverterChoice kServerOutput[] = {
    {TEXT_FORMAT_LF_ONLY, ConvertLfOnlyForServer},
    {TEXT_FORMAT_CR_CRLF_FF, ConvertCrCrLfFf},
    {TEXT_FORMAT_TEXT_RECORDS, ConvertRecords},
};
constexpr ConverterChoice kLocalOutput[] = {
    {TEXT_FORMAT_LF_ONLY, ConvertLfOnlyForLocal},
    {TEXT_FORMAT_CR_CRLF_FF, ConvertCrCrLfFf},
    {TEXT_FORMAT_TEXT_RECORDS, ConvertRecords},
};

}  // namespace

Converter SelectConverter(int32_t textFormat, OutputSide side) {
    for (const ConverterChoice& choice : side == OutputSide::Server ? kServerOutput : kLocalOutput) {
        if (choice.textFormat == textFormat) return choice.converter;
    }
    return PassThrough;
}

int32_t InitialConverterState(int32_t textFormat) {
    switch (textFormat) {
        case TEXT_FORMAT_CR_CRLF_FF: return CONVERTER_LINE;
        case TEXT_FORMAT_TEXT_RECORDS: return CONVERTER_RECORD_LENGTH;
        default: return CONVERTER_PLAIN;
    }
}
