// One Intel HEX record line with its checksum, ended as the caller asks.
#pragma once

#include <QByteArray>

inline QByteArray hexRecord(int address, const QByteArray& data, int type = 0, const char* end = "\r\n")
{
    const QByteArray record = QByteArray(1, char(data.size())) + char(address >> 8) + char(address) + char(type) + data;
    char sum = 0;
    for (char b : record)
        sum = char(sum - b);
    return ":" + (record + sum).toHex().toUpper() + end;
}
