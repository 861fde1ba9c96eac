// Whatever a technician types: the number test, the measurement boxes, the
// setting values and the address change either refuse the text with a message
// or produce values that fit their bytes.
#include "fuzz_check.h"
#include "protocol/kv9240b/number_text.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/kv9240b/setting_value.h"

#include <QStringList>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList parts = text.split(QLatin1Char('|'));
    auto part = [&](int i) -> QString { return parts.value(i, text); };

    if (const std::optional<double> number = kv::readNumber(text))
        require(std::isfinite(*number));

    const kv::QueryBoxes query = kv::readQueryBoxes(part(0), part(1), part(2), part(3));
    require(query.head.has_value() != !query.problem.isEmpty());
    if (query.head)
        require((*query.head)[5] >= 1 && (*query.head)[5] <= 8);

    for (int index = 0; index < 6; ++index) {
        const kv::SettingValue setting = kv::settingValue(index, part(index));
        require(setting.registerValue.has_value() != !setting.problem.isEmpty());
    }

    const kv::AddressChange change = kv::readAddressChange(part(0), part(1));
    if (change.problem.isEmpty())
        require(change.station >= 1 && change.newAddress >= 1 && change.newAddress <= 250);
    return 0;
}
