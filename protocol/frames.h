#pragma once

#include "protocol/statusrecord.h"

#include <QByteArray>

#include <array>

// The configuration block as the configuration reply carries it; the
// configuration record gives its bytes their meaning.
constexpr int ConfigBlockSize = 52;
using ConfigBlock = std::array<quint8, ConfigBlockSize>;

// Request and reply frames: address, 0x01, command code, payload, CRC-8.
namespace Frame {
constexpr quint8 CmdStatus = 0x01;
constexpr quint8 CmdConfigRead = 0x02;
constexpr quint8 CmdConfigWrite = 0x04;
constexpr quint8 CmdZone = 0x05;

constexpr quint8 RespStatus = 0x81;
constexpr quint8 RespConfig = 0x82;

constexpr int StatusRequestLength = 4;
constexpr int ConfigReadRequestLength = 4;
constexpr int ConfigWriteLength = 52;
constexpr int ZoneCommandLength = 7;

constexpr int StatusReplyLength = StatusReplySize;
constexpr int ConfigReplyLength = ConfigBlockSize;
constexpr int MaxReplyLength = 52;
}

// Stores crc8 of all bytes but the last in the last byte. No-op on an empty array.
void sealFrame(QByteArray& frame);
// True when the frame is at least 2 bytes long and its last byte is the crc8 of the rest.
bool frameChecksumOk(const QByteArray& frame);

// length bytes: address, 0x01, code, body (cut or padded with zeros to fit), checksum.
QByteArray sealedFrame(int length, int address, quint8 code, const QByteArray& body = {});
// Bytes 3..50 of a block: the part a write and a configuration reply carry.
QByteArray configBlockBody(const ConfigBlock& block);
QByteArray statusRequestFrame(int address);
QByteArray configReadRequestFrame(int address);
// 52 bytes: address, 0x01, 0x04, block bytes 3..50, checksum.
QByteArray configWriteFrame(int address, const ConfigBlock& block);
QByteArray zoneCommandFrame(int address, bool hv1, bool hv2, bool on1, bool on2);

// Length of the reply that carries this response code, or 0 for an unknown code.
int replyLength(quint8 responseCode);
