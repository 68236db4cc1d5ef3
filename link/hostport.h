#pragma once

#include <QString>

// Plain decimal digits, at most maxDigits of them (toInt() would also take a
// sign or blanks), for a number within min..max; *value gets the number.
bool digitsInRange(const QString& text, int maxDigits, int min, int max, int* value);

// "HOST:PORT" as URLs write it: an IPv6 host goes in brackets ("[::1]:1883").
// With a defaultPort above 0 the ":PORT" may be left out. The host comes back
// without brackets. On refusal returns false and sets *error.
bool parseHostPort(const QString& text, int defaultPort, QString* host, quint16* port, QString* error);

// The text form again, with brackets around an IPv6 host.
QString hostPortText(const QString& host, quint16 port);
