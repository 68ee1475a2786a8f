// Capture control: Start Capture and Stop Capture.
#include "app/PlandisDlg.h"

void PlandisDlg::OnStartCapture() {}

void PlandisDlg::OnStopCapture() {}

void PlandisDlg::connectCapture() {}
