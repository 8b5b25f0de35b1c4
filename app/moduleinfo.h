#ifndef MODULEINFO_H
#define MODULEINFO_H

#include <QByteArray>
#include <QString>

// The text of the module information notice: the templates stored out of
// the capacity, the parameters read from the table as the common layout of
// eight big-endian 16-bit words has them (status, sensor type, capacity,
// security level, address as two words, packet size code, baud rate
// factor), the template length, and the raw table in hex, since another
// library may lay it out otherwise.
QString moduleInfoText(const QByteArray &table, int templates, int templateLength);

#endif // MODULEINFO_H
