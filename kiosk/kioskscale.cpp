#include "kiosk/kioskscale.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace kioskscale {

float scaleForWidth(int availableWidth)
{
    return static_cast<float>(availableWidth / kDesignWidth);
}

float primaryScreenScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1.0f;
    return scaleForWidth(screen->availableGeometry().width());
}

int pixelSize(double designSize, float scale)
{
    // The float factor carries about seven significant digits; a product
    // that is meant to be whole must not be truncated to the integer below.
    constexpr double kFloatSlack = 1e-4;
    return static_cast<int>(designSize * static_cast<double>(scale) + kFloatSlack);
}

} // namespace kioskscale
