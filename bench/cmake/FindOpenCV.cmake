# find_package(OpenCV COMPONENTS core imgproc ...) for Debian's per-module packages
# (libopencv-imgproc-dev and what it pulls in), which ship headers and libraries but not the
# OpenCVConfig.cmake of the much larger libopencv-dev. Sets OpenCV_INCLUDE_DIRS, OpenCV_LIBS,
# OpenCV_VERSION and OpenCV_<component>_FOUND.
find_path(OpenCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)

if(OpenCV_INCLUDE_DIR AND EXISTS "${OpenCV_INCLUDE_DIR}/opencv2/core/version.hpp")
  file(STRINGS "${OpenCV_INCLUDE_DIR}/opencv2/core/version.hpp" _opencv_version_lines
       REGEX "#define CV_VERSION_(MAJOR|MINOR|REVISION) ")
  foreach(_part MAJOR MINOR REVISION)
    string(REGEX REPLACE ".*#define CV_VERSION_${_part} +([0-9]+).*" "\\1" _opencv_${_part}
           "${_opencv_version_lines}")
  endforeach()
  set(OpenCV_VERSION "${_opencv_MAJOR}.${_opencv_MINOR}.${_opencv_REVISION}")
endif()

set(OpenCV_LIBS)
foreach(_component IN LISTS OpenCV_FIND_COMPONENTS)
  find_library(OpenCV_${_component}_LIBRARY opencv_${_component})
  if(OpenCV_${_component}_LIBRARY)
    set(OpenCV_${_component}_FOUND TRUE)
    list(APPEND OpenCV_LIBS "${OpenCV_${_component}_LIBRARY}")
  endif()
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCV
  REQUIRED_VARS OpenCV_INCLUDE_DIR
  VERSION_VAR OpenCV_VERSION
  HANDLE_COMPONENTS)
set(OpenCV_INCLUDE_DIRS "${OpenCV_INCLUDE_DIR}")
mark_as_advanced(OpenCV_INCLUDE_DIR)
