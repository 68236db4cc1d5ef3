#pragma once

#include <QString>
#include <QTemporaryDir>

// A throwaway certificate authority made with openssl, its files readable by
// a broker started as root (which reads them as its own user).
class TestCa
{
public:
    // ca.pem and ca.key; false when openssl failed.
    bool create();
    // NAME.pem and NAME.key, signed by the CA for the subject alternative
    // names ("IP:127.0.0.1"), valid for days (-1: expired from the start).
    bool issue(const QString& name, const QString& altNames, int days = 2);
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};
