#include "testca.h"

#include <QFile>
#include <QProcess>

bool TestCa::openssl(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    const bool ok = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        qWarning("openssl %s: %s", qUtf8Printable(args.join(' ')), p.readAll().constData());
    return ok;
}

bool TestCa::create()
{
    QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ReadOther | QFile::ExeOther);
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout", file("ca.key"),
                    "-out", caFile(), "-days", "2", "-subj", "/CN=Test CA"});
}

bool TestCa::issue(const QString& name, const QString& altNames, int days)
{
    const QString request = file(name + ".csr");
    const QString extensions = file(name + ".ext");
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=" + altNames.toUtf8() + '\n') < 0 || !ext.flush())
        return false;
    // A negative -days ends the validity before it starts: expired from the first second.
    const bool ok = openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout", keyFile(name),
                             "-out", request, "-subj", "/CN=" + name})
                    && openssl({"x509", "-req", "-in", request, "-CA", caFile(), "-CAkey", file("ca.key"), "-CAcreateserial",
                                "-days", QString::number(days), "-extfile", extensions, "-out", certFile(name)});
    QFile::setPermissions(keyFile(name), QFile::permissions(keyFile(name)) | QFile::ReadOther);
    return ok;
}
