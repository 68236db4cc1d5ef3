#pragma once

#include <QStringList>

class EnergizerLink;

// The mqtt command: parses the arguments after "mqtt", bridges the link's
// energizer to an MQTT broker until SIGINT or SIGTERM, and returns the exit
// status. The link has its settings and has been opened.
int runMqttCommand(EnergizerLink& link, const QStringList& args, int timeoutMs);
