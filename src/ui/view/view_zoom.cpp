#include "ui/view/view_zoom.h"

#include <cmath>

namespace tessarin {

double FitZoomSteps(int clientWidth, int clientHeight, int imageWidth, int imageHeight,
                    double rate) {
    if (rate == 1 || !(rate > 0) || imageWidth <= 0 || imageHeight <= 0 || clientWidth <= 0 ||
        clientHeight <= 0)
        return 0;
    double f = imageWidth == clientWidth ? 1.0 : double(clientWidth) / imageWidth;
    if (imageHeight * f > clientHeight) f = double(clientHeight) / imageHeight;
    return std::log(f) / std::log(rate);
}

double InitialZoomSteps(int clientWidth, int clientHeight, int imageWidth, int imageHeight,
                        double rate, bool sameScale) {
    if (sameScale) return 0;
    return FitZoomSteps(clientWidth, clientHeight, imageWidth, imageHeight, rate);
}

double DisplayScale(double steps, double rate) { return std::pow(rate, steps); }

}  // namespace tessarin
