// Arbitrary bytes as a status reply: no field may read outside them, and a
// reply shorter than a status reply must be refused untouched.
#include "protocol/energizer.h"
#include "protocol/statusrecord.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Raw data, not a copy: the sanitizer then sees any read past the input.
    const QByteArray reply = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                     static_cast<int>(size));
    const bool full = size >= 27;
    for (int field = -1; field <= 53; ++field) {
        const QVariant value = statusField(reply, field);
        if (value.isValid() != (full && field >= 1 && field <= 52))
            std::abort();
    }

    Energizer energizer;
    int emitted = 0;
    QObject::connect(&energizer, &Energizer::paramChanged, [&emitted] { ++emitted; });
    if (decodeStatus(energizer, reply) != full || emitted != (full ? 1 : 0))
        std::abort();
    if (full && (!energizer.online || energizer.fenceLevel1 < 0 || energizer.fenceLevel1 > 9
                 || energizer.fenceLevel2 < 0 || energizer.fenceLevel2 > 9
                 || energizer.outputVoltage1 > 31875.0 || energizer.capVoltage2 > 1593.75
                 || energizer.batteryVoltage > 31.875))
        std::abort();
    if (!full && energizer.online)
        std::abort();
    return 0;
}
