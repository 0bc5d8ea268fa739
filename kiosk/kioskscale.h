#ifndef KIOSKSCALE_H
#define KIOSKSCALE_H

// The kiosk pages are drawn for a screen 1920 pixels wide. A page scales its
// font sizes by the available width of the primary screen over that design
// width.

class QRect;

namespace kioskscale {

constexpr double kDesignWidth = 1920.0;

// availableWidth / 1920, as the pages keep it (a 32-bit float).
float scaleForWidth(int availableWidth);

// The factor for the primary screen's available geometry; 1.0 when the
// application has no screen (nothing to scale for).
float primaryScreenScale();

// A design size times the factor, truncated toward zero. Exact products
// stay exact: 24 at 800 / 1920 gives 10, although the float factor lies a
// hair below 5 / 12.
int pixelSize(double designSize, float scale);

} // namespace kioskscale

#endif // KIOSKSCALE_H
