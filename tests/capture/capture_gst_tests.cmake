# Tests of the live capture facility; none needs a camera.
add_unit_test(captureWindow_test SOURCES CaptureWindow_test.cpp LIBS capture_gst)
add_unit_test(testChart_test SOURCES TestChart_test.cpp LIBS capture_gst)
add_unit_test(gstCamera_test SOURCES GstCamera_test.cpp LIBS capture_gst PkgConfig::GST)

# Start Capture and Stop Capture on the real dialog (Qt Test, offscreen): over fake
# drivers, and end to end with the virtual camera.
find_package(Qt6 REQUIRED COMPONENTS Test)
foreach(name CaptureControl_test LiveCapture_test)
  add_executable(${name} ${name}.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE app capture_gst Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endforeach()

# Not a test: the program behind the live-capture shot of scripts/screenshot.
add_executable(plandis_live_screenshot liveScreenshotDriver.cpp)
target_link_libraries(plandis_live_screenshot PRIVATE app capture_gst Qt6::Test)
