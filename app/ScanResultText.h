#pragma once

#include <QString>

// The warning text the console shows for a scan's result code; empty for success (0).
class ScanResultText
{
public:
    static QString message(int code);
};
