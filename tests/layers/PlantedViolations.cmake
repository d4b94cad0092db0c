# The layer check must fail on each planted include against the rules, naming the file, and pass
# on the same copy of the tree once the plant is gone.
#   cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch> -P PlantedViolations.cmake
cmake_minimum_required(VERSION 3.25)
set(check ${SOURCE_DIR}/scripts/check-layers.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
foreach(top platform imaging engine control overlay components app tools)
  if(EXISTS ${SOURCE_DIR}/${top})
    file(COPY ${SOURCE_DIR}/${top} DESTINATION ${WORK_DIR} FILES_MATCHING PATTERN "*.h" PATTERN "*.cpp")
  endif()
endforeach()

function(run_check expectFailure label)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR} -P ${check}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expectFailure AND result EQUAL 0)
    message(FATAL_ERROR "${label}: the layer check passed")
  elseif(NOT expectFailure AND NOT result EQUAL 0)
    message(FATAL_ERROR "${label}: the layer check failed:\n${err}")
  endif()
  set(checkOutput "${out}${err}" PARENT_SCOPE)
endfunction()

run_check(FALSE "clean copy")

# planted file|the include it carries
set(plants
  "platform/os/PlantedOs.h|platform/com/Unknown.h"
  "engine/PlantedEngine.cpp|overlay/OverlayRenderer.h"
  "control/PlantedControl.cpp|overlay/OverlayTransformFilter.h"
  "components/torvane/PlantedTorvane.h|engine/CaptureSession.h"
  "components/relayo/PlantedRelayo.cpp|components/torvane/MpegSettings.h"
  "platform/dshow/PlantedDshow.h|platform/devices/CaptureDevices.h"
  "overlay/PlantedOverlay.h|engine/VideoFormats.h")
foreach(plant IN LISTS plants)
  string(REPLACE "|" ";" parts "${plant}")
  list(GET parts 0 file)
  list(GET parts 1 header)
  file(WRITE ${WORK_DIR}/${file} "#pragma once\n  #  include \"${header}\"  // planted\n")
  run_check(TRUE "${file}")
  string(FIND "${checkOutput}" "${file}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file}: the failure does not name the planted file:\n${checkOutput}")
  endif()
  file(REMOVE ${WORK_DIR}/${file})
endforeach()

run_check(FALSE "copy after the plants")
file(REMOVE_RECURSE ${WORK_DIR})
