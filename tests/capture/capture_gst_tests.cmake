# Tests of the live capture facility; none needs a camera.
add_unit_test(captureWindow_test SOURCES CaptureWindow_test.cpp LIBS capture_gst)
add_unit_test(testChart_test SOURCES TestChart_test.cpp LIBS capture_gst)
add_unit_test(gstCamera_test SOURCES GstCamera_test.cpp LIBS capture_gst PkgConfig::GST)
