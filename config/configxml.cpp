#include "config/configxml.h"

#include <QXmlStreamWriter>

// TODO: XML configuration format (stub so the tree builds).
const char XmlCompany[] = "Ravlin (Pty) Ltd";
const QVector<XmlGroup>& xmlGroups() { static const QVector<XmlGroup> g; return g; }
void buildConfigDocument(QDomDocument&, const ConfigBlock&) {}
void writeElement(QXmlStreamWriter&, const QDomElement&) {}
QByteArray documentText(const QDomDocument&) { return {}; }
QByteArray configToXml(const ConfigBlock&) { return {}; }
void readConfigDocument(const QDomDocument&, ConfigBlock&) {}
bool configFromXml(const QByteArray&, ConfigBlock&, QString*) { return false; }
