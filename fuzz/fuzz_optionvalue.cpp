// The option value grammar: numbers with units, vectors, "[n]" indices and
// ramps, as typed by a user or read from an option file.
#include "scanvy/optionvalueparser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static const SANE_Unit units[] = {SANE_UNIT_NONE, SANE_UNIT_PIXEL,   SANE_UNIT_BIT,        SANE_UNIT_MM,
                                      SANE_UNIT_DPI,  SANE_UNIT_PERCENT, SANE_UNIT_MICROSECOND};
    const SANE_Value_Type type = (data[0] & 1) ? SANE_TYPE_FIXED : SANE_TYPE_INT;
    const SANE_Unit unit = units[(data[0] >> 1) % (sizeof units / sizeof units[0])];
    const int wordCount = 1 + data[1] % 300;
    const QByteArray text(reinterpret_cast<const char*>(data + 2), int(size - 2));

    OptionValueParser parser("fuzz-option", type, unit);
    const OptionValueParser::Result result = parser.parse(text, wordCount);
    // The caller copies exactly wordCount words into the option buffer.
    if (result.words.size() != wordCount)
        abort();
    for (const QString& line : result.messages) {
        if (!line.endsWith(QLatin1Char('\n')))
            abort();
    }
    return 0;
}
