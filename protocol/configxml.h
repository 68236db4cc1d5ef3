#pragma once

#include "protocol/configrecord.h"

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

// Parameter indices the document has an element for, in file order.
QVector<int> paramsInDocument(const QDomDocument& doc);
// Why a parsed document is no configuration (its root is not Configuration,
// or it holds none of the parameters); empty when it is one.
QString configDocumentProblem(const QDomDocument& doc);
// Parses file bytes and checks that they are a configuration; on failure
// returns false with the reason in *error and leaves doc untouched.
bool parseConfigFile(const QByteArray& data, QDomDocument& doc, QString* error = nullptr);
// Writes a configuration's text to path, the one way every front end saves
// one. A regular file is replaced atomically and a new one created 0600 (it
// holds PINs); a FIFO or a device is written in place, never replaced;
// anything else is refused. False with the reason (naming the file).
bool saveConfigFile(const QString& path, const QByteArray& text, QString* error);
// Reads and parses the file at path; the reason names the file.
bool loadConfigFile(const QString& path, QDomDocument& doc, QString* error);
// The values of the parameters the document holds, PINs as text, the rest
// as integers; applyParams() stores them onto a block.
ParamValues documentParams(const QDomDocument& doc);
// Parses file bytes and stores the parameters they hold onto block (the
// others keep block's values); refuses malformed XML and documents that are
// no configuration, leaving block untouched.
bool configFromXml(const QByteArray& data, ConfigBlock& block, QString* error = nullptr);
