#include "protocol/energizer.h"

#include "protocol/energizerfields.h"

#include <type_traits>

Energizer::Energizer(QObject* parent)
    : QObject(parent)
{
    reset();
}

void Energizer::reset()
{
    // Every field is in the status table: off, zero, false or empty.
    for (const StatusField& f : statusFields())
        std::visit([this](auto member) { this->*member = std::decay_t<decltype(this->*member)>(); }, f.member);
    address = 1;
    fenceCondition1 = QStringLiteral("Bad");
    fenceCondition2 = QStringLiteral("Bad");
    emit paramChanged();
}
