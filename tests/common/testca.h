#pragma once

#include <QString>
#include <QTemporaryDir>

// A throwaway certificate authority made with openssl, its files readable by
// a broker started as root (which reads them as its own user).
class TestCa
{
public:
    // The CA's own key and certificate; false when openssl failed.
    bool create();
    QString caFile() const { return file(QStringLiteral("ca.pem")); }

    // NAME.pem and NAME.key, signed by this CA for the subject alternative
    // names ("IP:127.0.0.1,DNS:localhost"), valid for days (-1: expired).
    bool issue(const QString& name, const QString& altNames, int days = 2);
    QString certFile(const QString& name) const { return file(name + QStringLiteral(".pem")); }
    QString keyFile(const QString& name) const { return file(name + QStringLiteral(".key")); }

private:
    QString file(const QString& name) const { return dir_.filePath(name); }
    bool openssl(const QStringList& args);

    QTemporaryDir dir_;
};
