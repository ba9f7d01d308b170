#pragma once
// Where the image sits in the view: the zoom as a step count on a geometric
// scale (the display scale is rate ^ steps) and the view centre.

namespace tessarin {

struct ViewZoom {
    double steps = 0;  // 0 is 1:1
    double centreX = 0.5;
    double centreY = 0.5;
};

// The steps that fit an image of imageWidth x imageHeight into a client area
// of clientWidth x clientHeight: the scale is the width ratio unless the
// height then overflows, in which case it is the height ratio. 0 (1:1) when
// the rate is 1 or no image or client area is given.
double FitZoomSteps(int clientWidth, int clientHeight, int imageWidth, int imageHeight,
                    double rate);
// The zoom a newly shown image starts with: 1:1 when sameScale, else the fit.
double InitialZoomSteps(int clientWidth, int clientHeight, int imageWidth, int imageHeight,
                        double rate, bool sameScale);
// rate ^ steps.
double DisplayScale(double steps, double rate);

}  // namespace tessarin
