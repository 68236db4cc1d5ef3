#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <tuple>

// Who may read the metrics endpoint and over what: the web configuration file
// Prometheus's exporters share (tls_server_config, basic_auth_users). Only
// the part this endpoint can honour is accepted; anything else is refused by
// its line, so a setting is never silently not applied.
struct WebConfig
{
    enum class ClientAuth { NoClientCert, RequestClientCert, RequireAnyClientCert, VerifyClientCertIfGiven, RequireAndVerifyClientCert };
    enum class TlsVersion { Tls12, Tls13 };

    QString file; // empty: no web configuration
    QByteArray certPem; // empty: plain HTTP
    QByteArray keyPem;
    QByteArray clientCaPem;
    ClientAuth clientAuth = ClientAuth::NoClientCert;
    TlsVersion minVersion = TlsVersion::Tls12;
    QMap<QString, QByteArray> users; // name -> bcrypt hash
    QStringList notes; // settings read but not applied, for the log

    bool hasTls() const { return !certPem.isEmpty(); }
    // A reader must prove who it is: a password or a verified certificate.
    bool hasLogin() const
    {
        return !users.isEmpty() || (hasTls() && clientAuth == ClientAuth::RequireAndVerifyClientCert);
    }

    // Reads the file at path; relative file names in it are taken from its folder.
    // False with "PATH:LINE: reason" in error.
    static bool read(const QString& path, WebConfig* config, QString* error);

    // A reload compares what is applied: the file's contents, not only its name.
    auto fields() const { return std::tie(file, certPem, keyPem, clientCaPem, clientAuth, minVersion, users); }
    bool operator==(const WebConfig& other) const { return fields() == other.fields(); }
    bool operator!=(const WebConfig& other) const { return !(*this == other); }
};
