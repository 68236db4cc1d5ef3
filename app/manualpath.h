#pragma once

#include <QString>

// Where Help finds "Orvik Configurator.pdf": beside the executable (the build
// folder, or a copy kept beside the program), else in the documentation
// folder of an installed package (../share/doc/energizer-configurator from
// the executable's folder). When neither has it, the path beside the
// executable, which then opens nothing.
QString manualPath();
QString manualPath(const QString& appDir);
