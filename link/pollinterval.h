#pragma once

// How often a tool may poll one energizer, for every tool alike (watch, the
// MQTT bridge, the site gateway): faster floods a shared line, slower than a
// day is no monitoring.
constexpr double MinPollIntervalSeconds = 0.2;
constexpr double MaxPollIntervalSeconds = 86400.0;
