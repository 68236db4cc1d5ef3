#include "protocol/frames.h"

#include "protocol/crc8.h"

namespace {

QByteArray requestHeader(int length, int address, quint8 command)
{
    QByteArray frame(length, '\0');
    frame[0] = static_cast<char>(address & 0xFF);
    frame[1] = 0x01;
    frame[2] = static_cast<char>(command);
    return frame;
}

} // namespace

void sealFrame(QByteArray& frame)
{
    if (frame.isEmpty())
        return;
    const int sum = crc8(reinterpret_cast<const unsigned char*>(frame.constData()), frame.size() - 1);
    frame[frame.size() - 1] = static_cast<char>(sum & 0xFF);
}

bool frameChecksumOk(const QByteArray& frame)
{
    if (frame.size() < 2)
        return false;
    const int sum = crc8(reinterpret_cast<const unsigned char*>(frame.constData()), frame.size() - 1);
    return (sum & 0xFF) == static_cast<quint8>(frame.at(frame.size() - 1));
}

QByteArray statusRequestFrame(int address)
{
    QByteArray frame = requestHeader(Frame::StatusRequestLength, address, Frame::CmdStatus);
    sealFrame(frame);
    return frame;
}

QByteArray configReadRequestFrame(int address)
{
    QByteArray frame = requestHeader(Frame::ConfigReadRequestLength, address, Frame::CmdConfigRead);
    sealFrame(frame);
    return frame;
}

QByteArray configWriteFrame(int address, const ConfigBlock& block)
{
    QByteArray frame = requestHeader(Frame::ConfigWriteLength, address, Frame::CmdConfigWrite);
    for (int i = 3; i <= 50; ++i)
        frame[i] = static_cast<char>(block[static_cast<std::size_t>(i)]);
    sealFrame(frame);
    return frame;
}

QByteArray zoneCommandFrame(int address, bool hv1, bool hv2, bool on1, bool on2)
{
    QByteArray frame = requestHeader(Frame::ZoneCommandLength, address, Frame::CmdZone);
    frame[3] = static_cast<char>((hv1 ? 0x01 : 0) | (hv2 ? 0x02 : 0));
    frame[4] = static_cast<char>((on1 ? 0x01 : 0) | (on2 ? 0x02 : 0));
    frame[5] = 0x00;
    sealFrame(frame);
    return frame;
}

int replyLength(quint8 responseCode)
{
    switch (responseCode) {
    case Frame::RespStatus:
        return Frame::StatusReplyLength;
    case Frame::RespConfig:
        return Frame::ConfigReplyLength;
    default:
        return 0;
    }
}
