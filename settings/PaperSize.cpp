#include "settings/PaperSize.h"

bool PaperSize::millimetres(int paperSizeIndex, int *shortSide, int *longSide)
{
    // Long, short: A6, B6, Statement, A5, B5, Executive, 16K, A4, Letter, Folio, Legal, B4, 8K,
    // 11x15, 11x17, A3.
    static const int kSizes[17][2] = {
        {0, 0},     {148, 105}, {176, 125}, {216, 140}, {210, 148}, {250, 176},
        {267, 184}, {270, 195}, {297, 210}, {279, 216}, {330, 216}, {356, 216},
        {353, 250}, {420, 285}, {381, 279}, {432, 279}, {420, 297},
    };
    if (paperSizeIndex < 1 || paperSizeIndex > 16)
        return false;
    *longSide = kSizes[paperSizeIndex][0];
    *shortSide = kSizes[paperSizeIndex][1];
    return true;
}
