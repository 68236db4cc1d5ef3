#pragma once

#include <QStringList>

class EnergizerLink;

// The mqtt command: parses the arguments after "mqtt", bridges the link's
// energizer to an MQTT broker until SIGINT or SIGTERM, and returns the exit
// status. The link has its settings; it is opened once the arguments are sound.
int runMqttCommand(EnergizerLink& link, const QStringList& args, int timeoutMs);
