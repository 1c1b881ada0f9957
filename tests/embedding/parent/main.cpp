// Uses a class of the console's core library through its include root, with Qt and OpenCV
// coming along as the library's usage requirements.
#include "app/PaperSizeCheck.h"
#include "imaging/ImageAlgorithm.h"

int main()
{
    QImage page(2480, 3508, QImage::Format_Grayscale8);
    page.fill(200);
    ImageAlgorithm::Threshold(&page);
    return PaperSizeCheck::matches(page.size(), 2, 8) ? 0 : 1; // A4 at 300 dpi
}
