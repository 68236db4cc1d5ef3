#include "protocol/frames.h"

#include "protocol/crc8.h"

#include <algorithm>

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

QByteArray sealedFrame(int length, int address, quint8 code, const QByteArray& body)
{
    QByteArray frame(length, '\0');
    frame[0] = static_cast<char>(address & 0xFF);
    frame[1] = 0x01;
    frame[2] = static_cast<char>(code);
    std::copy_n(body.constData(), qBound(0, body.size(), length - 4), frame.data() + 3);
    sealFrame(frame);
    return frame;
}

QByteArray statusRequestFrame(int address)
{
    return sealedFrame(Frame::StatusRequestLength, address, Frame::CmdStatus);
}

QByteArray configReadRequestFrame(int address)
{
    return sealedFrame(Frame::ConfigReadRequestLength, address, Frame::CmdConfigRead);
}

QByteArray configWriteFrame(int address, const ConfigBlock& block)
{
    return sealedFrame(Frame::ConfigWriteLength, address, Frame::CmdConfigWrite, configBlockBody(block));
}

QByteArray zoneCommandFrame(int address, bool hv1, bool hv2, bool on1, bool on2)
{
    const char body[] = {char((hv1 ? 0x01 : 0) | (hv2 ? 0x02 : 0)), char((on1 ? 0x01 : 0) | (on2 ? 0x02 : 0)), 0x00};
    return sealedFrame(Frame::ZoneCommandLength, address, Frame::CmdZone, QByteArray(body, sizeof body));
}

QByteArray configBlockBody(const ConfigBlock& block)
{
    return QByteArray(reinterpret_cast<const char*>(block.data()) + 3, ConfigBlockSize - 4);
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
