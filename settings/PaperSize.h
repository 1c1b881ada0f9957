#pragma once

// The paper sizes of the panel's 稿件大小, by the index the settings record stores: 1 to 16 (A6
// to A3); 0 is automatic detection, which asks for no size.
class PaperSize
{
public:
    // Short and long side in millimetres; false for 0 and indices outside the table.
    static bool millimetres(int paperSizeIndex, int *shortSide, int *longSide);
};
