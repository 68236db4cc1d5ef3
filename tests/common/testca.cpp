#include "testca.h"

#include <QFile>
#include <QProcess>

namespace {

bool openssl(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    const bool ok = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        qWarning("openssl %s: %s", qUtf8Printable(args.join(' ')), p.readAll().constData());
    return ok;
}

const QStringList newKey{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout"};

} // namespace

bool TestCa::create()
{
    QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ReadOther | QFile::ExeOther);
    return openssl(QStringList{"req", "-x509"} + newKey + QStringList{file("ca.key"), "-out", file("ca.pem"), "-days", "2", "-subj", "/CN=Test CA"});
}

bool TestCa::issue(const QString& name, const QString& altNames, int days)
{
    QFile ext(file(name + ".ext"));
    const bool ok = ext.open(QIODevice::WriteOnly) && ext.write("subjectAltName=" + altNames.toUtf8() + '\n') > 0 && ext.flush()
                    && openssl(QStringList{"req"} + newKey + QStringList{file(name + ".key"), "-out", file(name + ".csr"), "-subj", "/CN=" + name})
                    && openssl({"x509", "-req", "-in", file(name + ".csr"), "-CA", file("ca.pem"), "-CAkey", file("ca.key"), "-CAcreateserial",
                                "-days", QString::number(days), "-extfile", ext.fileName(), "-out", file(name + ".pem")});
    QFile::setPermissions(file(name + ".key"), QFile::permissions(file(name + ".key")) | QFile::ReadOther);
    return ok;
}
