#pragma once

#include <QString>

// The broker connection as a user writes it, in the site file and on
// energizer-cli's command line alike.

struct BrokerAddress
{
    QString host;
    quint16 port = 0;
    bool tls = false;
};

// "HOST[:PORT]" or "mqtts://HOST[:PORT]"; the scheme, or tls when already
// asked for elsewhere, means TLS. The port is 8883 with TLS, else 1883,
// unless given. False with the reason when the text names no broker.
bool parseBrokerAddress(const QString& text, bool tls, BrokerAddress* address, QString* error);

// A client certificate goes with its private key: the reason when only one
// of them is given ("certificate without key"), else empty.
QString clientCertificateProblem(const QString& certFile, const QString& keyFile);

// A warning naming a secret's file (a password, a private key) that others
// than its owner may read; empty when only the owner can.
QString exposedSecretWarning(const QString& what, const QString& path);

// "PROGRAM-HOST-HASH": this computer's name and a short hash of what sets
// one client apart on it (a site file and its prefix). Brokers drop the older
// of two connections with one client id, so two never share one.
QString hostClientId(const QString& program, const QString& key);
