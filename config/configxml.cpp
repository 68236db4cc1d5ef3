#include "config/configxml.h"

#include <QBuffer>
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
        { "ZoneConfiguration1", zoneParams(30) },
        { "ZoneConfiguration2", zoneParams(45) },
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

void readConfigDocument(const QDomDocument& doc, ConfigBlock& block)
{
    block = defaultConfigBlock();
    const QDomElement root = doc.documentElement();
    for (const XmlGroup& group : xmlGroups()) {
        const QDomElement groupElement = root.firstChildElement(QString::fromLatin1(group.name));
        for (int index : group.params) {
            const QString text = groupElement.firstChildElement(QString::fromLatin1(paramInfo(index)->name))
                                     .attribute(QStringLiteral("value"));
            if (isPin(index))
                setParam(block, index, text);
            else
                setParam(block, index, text.toInt(nullptr, 10));
        }
    }
}

bool configFromXml(const QByteArray& data, ConfigBlock& block, QString* error)
{
    QDomDocument doc;
    QString message;
    int line = 0;
    int column = 0;
    if (!doc.setContent(data, &message, &line, &column)) {
        if (error)
            *error = QStringLiteral("%1 (line %2, column %3)").arg(message).arg(line).arg(column);
        return false;
    }
    readConfigDocument(doc, block);
    return true;
}
