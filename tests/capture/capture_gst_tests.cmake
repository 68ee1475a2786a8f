# The live capture facility; none of it needs a camera.
add_unit_test(capture_test SOURCES capture_test.cpp LIBS capture_gst PkgConfig::GST)

