#include "config/configrecord.h"

// TODO: configuration record (stub so the tree builds).
const char DefaultInstallerPin[] = "407318";
const char DefaultMasterPin[] = "1234";
const char DefaultResetPin[] = "0000";
const ParamInfo* paramInfo(int) { return nullptr; }
ConfigBlock defaultConfigBlock() { return ConfigBlock{}; }
QVariant getParam(const ConfigBlock&, int) { return {}; }
void setParam(ConfigBlock&, int, const QVariant&) {}
