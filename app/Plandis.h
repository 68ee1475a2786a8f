// The application object and the process-wide objects, constructed in this order before
// the program starts and destroyed in reverse order when it ends: the application object,
// inputImage, outputImage, homography, homographyInverse.
#pragma once

#include "image/frameDrawing.h"
#include "linal/matrix.h"

class PlandisApp {
  public:
    // Start-up: runs the main dialog modally on the toolkit that main has made. Returns
    // false: the program ends once the dialog has closed.
    bool InitInstance();
};

extern PlandisApp theApp;

class PlandisDlg;
// The running main dialog, published by its initialisation and cleared when it goes.
extern PlandisDlg* mainDialog;

// The drawings of the input and output views, reused from paint to paint.
extern FrameDrawing inputImage;
extern FrameDrawing outputImage;

// The homography H (output frame -> input frame, h33 = 1) and its inverse; 3 × 3 zeros
// until the first calibration.
extern linal::Matrix homography;
extern linal::Matrix homographyInverse;
