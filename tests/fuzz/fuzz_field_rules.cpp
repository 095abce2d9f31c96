// Whatever an operator types or pastes into an entry box of the configuration dialogs.

#include "config/field_rules.h"
#include "fuzz_check.h"

#include <QLocale>

using namespace config::fieldrules;

namespace {

void integerBox(const QString &text, const IntegerRule &rule)
{
    const QString checked = checkInteger(text, rule);
    const auto value = parseInteger(checked);
    FUZZ_EXPECT(value && *value >= rule.minimum && *value <= rule.maximum);
    FUZZ_EXPECT(checkInteger(checked, rule) == checked); // a checked box stays as it is
}

void stepper(const QString &text, const StepRule &rule)
{
    for (const QString &stepped : {stepUp(text, rule), stepDown(text, rule)})
        if (!stepped.isNull())
            (void)parseInteger(stepped);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    for (const IntegerRule &rule : {OctetRule, UniverseRule, FanRule, IntegerRule{QStringLiteral("1"), 1, 340},
                                    IntegerRule{QStringLiteral("1"), 1, 680}})
        integerBox(text, rule);

    const QString channel = checkStartChannel(text);
    const auto start = parseInteger(channel);
    FUZZ_EXPECT(start && *start >= 1 && *start <= 508 && (*start - 1) % 3 == 0);
    FUZZ_EXPECT(checkStartChannel(channel) == channel);

    for (const StepRule &rule : {UniverseStep, StartChannelStep, FanStep, pixelStep(340), pixelStep(680)})
        stepper(text, rule);

    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        const Gamma g = checkGamma(text, locale);
        FUZZ_EXPECT(g.tenths >= GammaMinTenths && g.tenths <= GammaMaxTenths);
        const auto reread = gammaTenths(g.text, locale);
        FUZZ_EXPECT(reread && *reread == g.tenths);
        (void)gammaTenths(text, locale);
    }
    // The Fahrenheit label is refreshed from the box as it stands, also after a stepper that left it alone.
    (void)fahrenheitText(valueOf(text, FanRule));
    (void)nicknameEditAllowed(size % 64, text.size());
    return 0;
}
