#pragma once

#include "config/configrecord.h"

#include <QByteArray>
#include <QDomDocument>
#include <QString>
#include <QVector>

class QXmlStreamWriter;

struct XmlGroup
{
    const char* name;
    QVector<int> params; // parameter indices in file order
};

// The five groups in file order.
const QVector<XmlGroup>& xmlGroups();

extern const char XmlCompany[]; // "Ravlin (Pty) Ltd"

// Fills doc (cleared first) with the Configuration document of the block.
void buildConfigDocument(QDomDocument& doc, const ConfigBlock& block);
// Start tag, attributes sorted by name, children in order, end tag.
void writeElement(QXmlStreamWriter& writer, const QDomElement& element);
// The exact file text of a document: declaration, 2-space indentation, trailing newline.
QByteArray documentText(const QDomDocument& doc);
QByteArray configToXml(const ConfigBlock& block);

// Reads a parsed document into block, starting from the default block.
void readConfigDocument(const QDomDocument& doc, ConfigBlock& block);
// Parses file bytes; on malformed XML returns false, leaves block untouched
// and puts the parser's message into *error when given.
bool configFromXml(const QByteArray& data, ConfigBlock& block, QString* error = nullptr);
