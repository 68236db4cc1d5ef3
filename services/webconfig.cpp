#include "services/webconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QVector>

namespace {

// Far above any real file; keeps a wrong path (a disk image) from being read whole.
constexpr qint64 MaxFileBytes = 1 << 20;

QString quoted(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// One "key: value" of the file, under its top-level key (empty for a top-level one).
struct Entry
{
    int line = 0;
    QString parent;
    QString key;
    QString value;
    bool hasValue = false;
};

// The first refusal of a pass over the file, by line.
struct Refusal
{
    int errorLine = 0;
    QString reason;

    bool fail(int line, const QString& why)
    {
        errorLine = line;
        reason = why;
        return false;
    }
};

// The YAML this file needs and nothing more: a map of maps of scalars, plain
// or quoted, with comments. Flow style, lists, anchors, tags, block scalars
// and deeper nesting are refused rather than guessed at.
class YamlSubset : public Refusal
{
public:
    bool parse(const QByteArray& text);

    QVector<Entry> entries;

private:
    // Reads a scalar from text at *pos; stops at ':' for a key, at a comment or the end for a value.
    bool scalar(int line, const QString& text, int* pos, bool key, QString* out);
    bool line(int number, const QString& text);

    QString m_parent; // the top-level key whose block is open
    int m_childIndent = 0; // 0: not fixed yet
    QHash<QString, int> m_seen; // "parent/key" -> line
};

bool YamlSubset::parse(const QByteArray& text)
{
    int number = 0;
    for (QByteArray raw : text.split('\n')) {
        ++number;
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString decoded = QString::fromUtf8(raw);
        if (decoded.contains(QChar::ReplacementCharacter) || raw.contains('\0'))
            return fail(number, QStringLiteral("not UTF-8 text"));
        if (!line(number, decoded))
            return false;
    }
    return true;
}

bool YamlSubset::scalar(int line, const QString& text, int* pos, bool key, QString* out)
{
    int i = *pos;
    out->clear();
    const QChar first = text.at(i);
    if (first == QLatin1Char('"') || first == QLatin1Char('\'')) {
        for (++i; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == first) {
                if (first == QLatin1Char('\'') && i + 1 < text.size() && text.at(i + 1) == first) {
                    out->append(c);
                    ++i;
                    continue;
                }
                *pos = i + 1;
                return true;
            }
            if (first == QLatin1Char('"') && c == QLatin1Char('\\')) {
                if (i + 1 >= text.size() || (text.at(i + 1) != QLatin1Char('"') && text.at(i + 1) != QLatin1Char('\\')))
                    return fail(line, QStringLiteral("only \\\" and \\\\ are understood inside double quotes"));
                out->append(text.at(++i));
                continue;
            }
            out->append(c);
        }
        return fail(line, QStringLiteral("quote not closed on this line"));
    }
    const bool listOrKey = (first == QLatin1Char('-') || first == QLatin1Char('?'))
                           && (i + 1 == text.size() || text.at(i + 1) == QLatin1Char(' '));
    if (QStringLiteral("[]{}&*!|>%@`,").contains(first) || listOrKey)
        return fail(line, QStringLiteral("%1 starts YAML this file does not use (lists, flow style, anchors, tags, "
                                         "block text); write a plain or quoted value").arg(quoted(first)));
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool spaceAfter = i + 1 == text.size() || text.at(i + 1) == QLatin1Char(' ');
        if (c == QLatin1Char(':') && spaceAfter) {
            if (!key)
                return fail(line, QStringLiteral("a value may not contain ': '; quote it"));
            break;
        }
        if (c == QLatin1Char('#') && i > *pos && text.at(i - 1) == QLatin1Char(' '))
            break;
        out->append(c);
    }
    *out = out->trimmed();
    *pos = i;
    return true;
}

bool YamlSubset::line(int number, const QString& text)
{
    int indent = 0;
    while (indent < text.size() && text.at(indent) == QLatin1Char(' '))
        ++indent;
    if (indent < text.size() && text.at(indent) == QLatin1Char('\t'))
        return fail(number, QStringLiteral("a tab in the indentation; YAML indents with spaces"));
    const QString rest = text.mid(indent).trimmed();
    if (rest.isEmpty() || rest.startsWith(QLatin1Char('#')))
        return true;
    if (rest == QLatin1String("---") && indent == 0 && entries.isEmpty())
        return true;

    Entry entry;
    entry.line = number;
    int pos = indent;
    if (!scalar(number, text, &pos, true, &entry.key))
        return false;
    while (pos < text.size() && text.at(pos) == QLatin1Char(' '))
        ++pos;
    if (entry.key.isEmpty() || pos >= text.size() || text.at(pos) != QLatin1Char(':'))
        return fail(number, QStringLiteral("expected 'key: value'"));
    ++pos;
    while (pos < text.size() && text.at(pos) == QLatin1Char(' '))
        ++pos;
    if (pos < text.size() && text.at(pos) != QLatin1Char('#')) {
        if (!scalar(number, text, &pos, false, &entry.value))
            return false;
        while (pos < text.size() && text.at(pos) == QLatin1Char(' '))
            ++pos;
        if (pos < text.size() && text.at(pos) != QLatin1Char('#'))
            return fail(number, QStringLiteral("text after the quoted value"));
        entry.hasValue = true;
    }

    if (indent == 0) {
        m_parent = entry.hasValue ? QString() : entry.key;
        m_childIndent = 0;
    } else {
        if (m_parent.isEmpty())
            return fail(number, QStringLiteral("indented, but the line above opens no section"));
        if (m_childIndent == 0)
            m_childIndent = indent;
        if (indent != m_childIndent)
            return fail(number, QStringLiteral("indented differently from the lines above; only two levels are used"));
        if (!entry.hasValue)
            return fail(number, QStringLiteral("%1 has no value (only two levels are used)").arg(quoted(entry.key)));
        entry.parent = m_parent;
    }
    const QString path = entry.parent + QLatin1Char('/') + entry.key;
    const auto seen = m_seen.constFind(path);
    if (seen != m_seen.constEnd())
        return fail(number, QStringLiteral("%1 given twice (first on line %2)").arg(quoted(entry.key)).arg(*seen));
    m_seen.insert(path, number);
    entries.append(entry);
    return true;
}

// The meaning of the entries; reads the files they name.
class Reader : public Refusal
{
public:
    Reader(const QString& baseDir, WebConfig* config) : m_baseDir(baseDir), m_config(config) {}

    bool apply(const QVector<Entry>& entries);

private:
    bool tlsKey(const Entry& e);
    bool user(const Entry& e);
    bool readPem(const Entry& e, QByteArray* pem);

    const QString m_baseDir;
    WebConfig* m_config;
    QHash<QString, int> m_tlsLines; // key -> line
};

bool Reader::apply(const QVector<Entry>& entries)
{
    for (const Entry& e : entries) {
        if (e.parent.isEmpty()) {
            static const QStringList sections{QStringLiteral("tls_server_config"), QStringLiteral("http_server_config"),
                                              QStringLiteral("basic_auth_users")};
            if (!sections.contains(e.key))
                return fail(e.line, QStringLiteral("unknown key %1 (known: %2)").arg(quoted(e.key), sections.join(QStringLiteral(", "))));
            if (e.hasValue)
                return fail(e.line, QStringLiteral("%1 takes indented 'key: value' lines, not a value").arg(e.key));
            continue;
        }
        if (e.parent == QLatin1String("tls_server_config")) {
            if (!tlsKey(e))
                return false;
        } else if (e.parent == QLatin1String("basic_auth_users")) {
            if (!user(e))
                return false;
        } else if (e.key == QLatin1String("http2")) {
            m_config->notes << QStringLiteral("http_server_config is not applied: the endpoint speaks HTTP/1.1");
        } else {
            return fail(e.line, QStringLiteral("unknown key %1 in http_server_config (known: http2)").arg(quoted(e.key)));
        }
    }
    const int certLine = m_tlsLines.value(QStringLiteral("cert_file"));
    const int keyLine = m_tlsLines.value(QStringLiteral("key_file"));
    if (!m_tlsLines.isEmpty() && (certLine == 0 || keyLine == 0))
        return fail(qMax(certLine, keyLine) ? qMax(certLine, keyLine) : m_tlsLines.constBegin().value(),
                    QStringLiteral("tls_server_config needs both cert_file and key_file"));
    const bool wantsClientCert = m_config->clientAuth != WebConfig::ClientAuth::NoClientCert;
    const int caLine = m_tlsLines.value(QStringLiteral("client_ca_file"));
    // libmicrohttpd asks for a client certificate only when it has CAs to offer.
    if (wantsClientCert && caLine == 0)
        return fail(m_tlsLines.value(QStringLiteral("client_auth_type")),
                    QStringLiteral("client_auth_type other than NoClientCert needs client_ca_file"));
    if (!wantsClientCert && caLine != 0)
        return fail(caLine, QStringLiteral("client_ca_file without client_auth_type: no client certificate would be asked for"));
    return true;
}

bool Reader::tlsKey(const Entry& e)
{
    m_tlsLines.insert(e.key, e.line);
    if (e.key == QLatin1String("cert_file"))
        return readPem(e, &m_config->certPem);
    if (e.key == QLatin1String("key_file"))
        return readPem(e, &m_config->keyPem);
    if (e.key == QLatin1String("client_ca_file"))
        return readPem(e, &m_config->clientCaPem);
    if (e.key == QLatin1String("client_auth_type")) {
        using A = WebConfig::ClientAuth;
        static const QHash<QString, A> kinds{{QStringLiteral("NoClientCert"), A::NoClientCert},
                                             {QStringLiteral("RequestClientCert"), A::RequestClientCert},
                                             {QStringLiteral("RequireAnyClientCert"), A::RequireAnyClientCert},
                                             {QStringLiteral("VerifyClientCertIfGiven"), A::VerifyClientCertIfGiven},
                                             {QStringLiteral("RequireAndVerifyClientCert"), A::RequireAndVerifyClientCert}};
        if (!kinds.contains(e.value))
            return fail(e.line, QStringLiteral("client_auth_type %1 is none of NoClientCert, RequestClientCert, RequireAnyClientCert, "
                                               "VerifyClientCertIfGiven, RequireAndVerifyClientCert").arg(quoted(e.value)));
        m_config->clientAuth = kinds.value(e.value);
        return true;
    }
    if (e.key == QLatin1String("min_version")) {
        if (e.value == QLatin1String("TLS12"))
            m_config->minVersion = WebConfig::TlsVersion::Tls12;
        else if (e.value == QLatin1String("TLS13"))
            m_config->minVersion = WebConfig::TlsVersion::Tls13;
        else
            return fail(e.line, QStringLiteral("min_version must be TLS12 or TLS13, not %1").arg(quoted(e.value)));
        return true;
    }
    return fail(e.line, QStringLiteral("unknown key %1 in tls_server_config (known: cert_file, key_file, client_ca_file, "
                                       "client_auth_type, min_version)").arg(quoted(e.key)));
}

bool Reader::user(const Entry& e)
{
    // What crypt() takes for bcrypt: $2a$, $2b$ or $2y$, a two-digit cost, 53 characters of salt and hash.
    static const QRegularExpression bcrypt(QStringLiteral("^\\$2[aby]\\$(0[4-9]|[12][0-9]|3[01])\\$[./A-Za-z0-9]{53}$"));
    if (e.key.contains(QLatin1Char(':')))
        return fail(e.line, QStringLiteral("a user name may not contain ':' (HTTP basic authentication splits there)"));
    if (!bcrypt.match(e.value).hasMatch())
        return fail(e.line, QStringLiteral("the password of %1 is no bcrypt hash ($2y$10$ and 53 characters; "
                                           "make one with htpasswd -nBC 10 \"\" | tr -d ':\\n')").arg(quoted(e.key)));
    m_config->users.insert(e.key, e.value.toLatin1());
    return true;
}

bool Reader::readPem(const Entry& e, QByteArray* pem)
{
    const QString path = QDir(m_baseDir).absoluteFilePath(e.value);
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile())
        return fail(e.line, QStringLiteral("%1 %2 is no regular file").arg(e.key, path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(e.line, QStringLiteral("%1 %2 cannot be read: %3").arg(e.key, path, file.errorString()));
    *pem = file.read(MaxFileBytes + 1);
    if (!pem->contains("-----BEGIN ") || pem->size() > MaxFileBytes)
        return fail(e.line, QStringLiteral("%1 %2 is not in PEM format").arg(e.key, path));
    return true;
}

} // namespace

bool WebConfig::read(const QString& path, WebConfig* config, QString* error)
{
    *config = WebConfig{};
    auto refuse = [&](int line, const QString& why) {
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(why);
        *config = WebConfig{};
        return false;
    };
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile())
        return refuse(1, QStringLiteral("no such file"));
    if (!file.open(QIODevice::ReadOnly))
        return refuse(1, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    const QByteArray text = file.read(MaxFileBytes + 1);
    if (text.size() > MaxFileBytes)
        return refuse(1, QStringLiteral("larger than %1 bytes; is this the web configuration?").arg(MaxFileBytes));
    YamlSubset yaml;
    if (!yaml.parse(text))
        return refuse(yaml.errorLine, yaml.reason);
    Reader reader(info.absolutePath(), config);
    if (!reader.apply(yaml.entries))
        return refuse(reader.errorLine, reader.reason);
    config->file = info.absoluteFilePath();
    return true;
}
