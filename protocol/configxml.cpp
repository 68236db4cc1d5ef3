#include "protocol/configxml.h"
#include "protocol/refuse.h"

#include <QCoreApplication>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QDomNamedNodeMap>
#include <QStringList>
#include <QXmlStreamWriter>

#include <algorithm>

const char XmlCompany[] = "Ravlin (Pty) Ltd";

namespace {

QVector<int> zoneParams(int first)
{
    QVector<int> indices;
    for (int i = first; i < first + 15; ++i)
        indices.append(i);
    return indices;
}

bool isPin(int index)
{
    return paramInfo(index)->kind == ParamKind::Pin;
}

} // namespace

const QVector<XmlGroup>& xmlGroups()
{
    static const QVector<XmlGroup> groups = {
        { "Options", { 28, 29, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                       18, 19, 20, 21, 22, 0, 23, 24, 25, 26, 27 } },
        { "ZoneConfiguration1", zoneParams(Zone1FirstParam) },
        { "ZoneConfiguration2", zoneParams(Zone2FirstParam) },
        { "Inputs", { 60, 61, 62, 63, 64, 65, 66, 67, 68, 69 } },
        { "Network", { 70, 71, 72, 73 } },
    };
    return groups;
}

void buildConfigDocument(QDomDocument& doc, const ConfigBlock& block)
{
    doc = QDomDocument(QStringLiteral("Configuration"));
    QDomElement root = doc.createElement(QStringLiteral("Configuration"));
    root.setAttribute(QStringLiteral("Company"), QString::fromLatin1(XmlCompany));
    doc.appendChild(root);
    for (const XmlGroup& group : xmlGroups()) {
        QDomElement groupElement = doc.createElement(QString::fromLatin1(group.name));
        root.appendChild(groupElement);
        for (int index : group.params) {
            QDomElement element = doc.createElement(QString::fromLatin1(paramInfo(index)->name));
            const QVariant value = getParam(block, index);
            // Voltages are written as whole volts: the nearest integer, as
            // the record's own int conversion rounds.
            element.setAttribute(QStringLiteral("value"),
                                 isPin(index) ? value.toString() : QString::number(value.toInt()));
            groupElement.appendChild(element);
        }
    }
}

void writeElement(QXmlStreamWriter& writer, const QDomElement& element)
{
    writer.writeStartElement(element.nodeName());
    const QDomNamedNodeMap attributes = element.attributes();
    QStringList names;
    for (int i = 0; i < attributes.count(); ++i)
        names.append(attributes.item(i).nodeName());
    std::sort(names.begin(), names.end());
    for (const QString& name : names)
        writer.writeAttribute(name, element.attribute(name));
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isText())
            writer.writeCharacters(child.nodeValue());
        else if (child.isElement())
            writeElement(writer, child.toElement());
    }
    writer.writeEndElement();
}

QByteArray documentText(const QDomDocument& doc)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter writer(&buffer);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.writeStartDocument();
    writeElement(writer, doc.documentElement());
    writer.writeEndDocument();
    return text;
}

QByteArray configToXml(const ConfigBlock& block)
{
    QDomDocument doc;
    buildConfigDocument(doc, block);
    return documentText(doc);
}

namespace {

// The element of a parameter, null when the document lacks it.
QDomElement paramElement(const QDomElement& root, const XmlGroup& group, int index)
{
    return root.firstChildElement(QString::fromLatin1(group.name))
        .firstChildElement(QString::fromLatin1(paramInfo(index)->name));
}

} // namespace

QVector<int> paramsInDocument(const QDomDocument& doc)
{
    QVector<int> present;
    const QDomElement root = doc.documentElement();
    for (const XmlGroup& group : xmlGroups()) {
        for (int index : group.params) {
            if (!paramElement(root, group, index).isNull())
                present << index;
        }
    }
    return present;
}

QString configDocumentProblem(const QDomDocument& doc)
{
    const QString root = doc.documentElement().tagName();
    if (root != QLatin1String("Configuration")) {
        return root.isEmpty() ? QCoreApplication::translate("ConfigFile", "the file holds no XML element")
                              : QCoreApplication::translate("ConfigFile", "its root element is <%1>, not <Configuration>")
                                    .arg(root);
    }
    if (paramsInDocument(doc).isEmpty())
        return QCoreApplication::translate("ConfigFile", "it holds none of the configuration parameters");
    return {};
}

bool parseConfigFile(const QByteArray& data, QDomDocument& doc, QString* error)
{
    QDomDocument parsed;
    QString message;
    int line = 0;
    int column = 0;
    QString problem;
    if (!parsed.setContent(data, &message, &line, &column))
        problem = QCoreApplication::translate("ConfigFile", "it is not well-formed XML: %1 (line %2, column %3)")
                      .arg(message)
                      .arg(line)
                      .arg(column);
    else
        problem = configDocumentProblem(parsed);
    if (!problem.isEmpty())
        return refuse(error, problem);
    doc = parsed;
    return true;
}

ParamValues documentParams(const QDomDocument& doc)
{
    ParamValues values;
    const QDomElement root = doc.documentElement();
    for (const XmlGroup& group : xmlGroups()) {
        for (int index : group.params) {
            const QDomElement element = paramElement(root, group, index);
            if (element.isNull())
                continue;
            const QString text = element.attribute(QStringLiteral("value"));
            values.insert(index, isPin(index) ? QVariant(text) : QVariant(text.toInt(nullptr, 10)));
        }
    }
    return values;
}

bool configFromXml(const QByteArray& data, ConfigBlock& block, QString* error)
{
    QDomDocument doc;
    if (!parseConfigFile(data, doc, error))
        return false;
    block = applyParams(block, documentParams(doc));
    return true;
}

bool loadConfigFile(const QString& path, QDomDocument& doc, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    QString why;
    if (!parseConfigFile(file.readAll(), doc, &why))
        return refuse(error, QStringLiteral("%1: %2").arg(path, why));
    return true;
}

namespace {

// Unbuffered, so a short write (disk full) fails here with its reason:
// QSaveFile::commit() does not notice when its own final flush falls short.
bool writeAll(QFileDevice& file, const QByteArray& data)
{
    for (qint64 done = 0; done < data.size();) {
        const qint64 n = file.write(data.constData() + done, data.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

bool saveConfigFile(const QString& path, const QByteArray& text, QString* error)
{
    const QFileInfo target(path);
    const auto fail = [&](const QString& why) {
        return refuse(error, QStringLiteral("cannot write %1: %2").arg(path, why));
    };
    if (target.exists() && !target.isFile()) {
        // Replaced by a plain file, /dev/null would be gone for everyone.
        if (target.isDir())
            return fail(QStringLiteral("it is a folder"));
        QFile special(path);
        if (!special.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(special, text))
            return fail(special.errorString());
        return true;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    // An existing file keeps its permissions; a new one is the owner's alone.
    if (!target.exists() && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail(file.errorString());
    if (!writeAll(file, text) || !file.commit())
        return fail(file.errorString());
    return true;
}
