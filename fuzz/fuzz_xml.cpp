// Arbitrary bytes as a configuration file: malformed input leaves the record
// untouched, and whatever loads must save to a file that loads again to the
// same numbers.
#include "protocol/configxml.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                    static_cast<int>(size));
    ConfigBlock block;
    block.fill(0xA5);
    const ConfigBlock untouched = block;
    QString error;
    if (!configFromXml(file, block, &error)) {
        if (block != untouched || error.isEmpty())
            std::abort();
        return 0;
    }

    ConfigBlock again{};
    if (!configFromXml(configToXml(block), again))
        std::abort();
    for (int index = 0; index < ParamCount; ++index) {
        if (paramInfo(index)->kind != ParamKind::Pin && getParam(again, index) != getParam(block, index))
            std::abort();
    }
    return 0;
}
