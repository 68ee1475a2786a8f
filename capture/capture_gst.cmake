# The live capture facility on GStreamer: the cameras and the virtual camera. GStreamer
# stays inside this target; the pipeline and the capture window above need none.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GST REQUIRED IMPORTED_TARGET GLOBAL gstreamer-1.0 gstreamer-app-1.0 gstreamer-video-1.0
  gstreamer-pbutils-1.0)

add_library(capture_gst STATIC
  GstCamera.cpp
  gstHandles.cpp
  SystemCameras.cpp
  TestChart.cpp
  VirtualCamera.cpp
  namedSource.cpp
  cameraMonitor.cpp
  sourceFailure.cpp
)
target_include_directories(capture_gst PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(capture_gst PUBLIC capture PRIVATE PkgConfig::GST)
