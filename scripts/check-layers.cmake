# Fails when a source file includes a header of a layer its folder must not use. Dependencies
# point one way (app -> platform, control -> engine -> platform, overlay -> platform,
# components -> platform); inside the platform each layer uses only the ones below it, and the
# binary contracts between modules live in platform/contracts so neither side includes the other.
#
#   cmake -DSOURCE_DIR=<tree> -P scripts/check-layers.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check-layers: pass -DSOURCE_DIR=<source tree>")
endif()

# Allowed include prefixes, comma-separated (a CMake list separator would split the rules).
set(base "platform/base")
set(os "${base},platform/os")
set(com "${os},platform/com")
set(dshow "${com},platform/dshow")
# The contracts between modules may speak in filter-graph types (a source filter's settings).
set(contracts "${dshow},platform/contracts")
set(devices "${dshow},platform/devices")
set(platform "platform")

# folder|the include prefixes it may use besides its own headers' and outside libraries'.
set(rules
  "platform/base|${base}"
  "platform/os|${os}"
  "platform/com|${com}"
  "platform/contracts|${contracts}"
  "platform/x11|${com},platform/x11"
  "platform/dshow|${dshow}"
  "platform/devices|${devices}"
  "platform/codecs|${devices},platform/codecs"
  "platform/wmf|${dshow},platform/wmf"
  "imaging/jpeg|${platform},imaging/jpeg"
  "engine|${platform},imaging/jpeg,engine"
  "control|${platform},imaging/jpeg,engine,control"
  "overlay|${platform},overlay"
  "components/mmsh|${platform},components/mmsh"
  "components/relayo|${platform},components/mmsh,components/relayo"
  "components/airlume|${platform},components/mmsh,components/airlume"
  "components/torvane|${platform},components/torvane"
  "components/scrivel|${platform},components/scrivel"
  "components/pavisse|${platform},components/pavisse"
  "components/skin|${platform},components/skin"
  "app|${platform},app"
  "tools|${platform},tools")
# Top-level folders whose includes are ours: any of them outside its allowed list is a violation.
set(ours platform imaging engine control overlay components app tools)

set(violations 0)
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 allowed)
  string(REPLACE "," ";" allowed "${allowed}")
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" top "${header}")
      if(NOT top IN_LIST ours)
        continue()  # a header of the same folder by its bare name, or an outside library
      endif()
      set(ok FALSE)
      foreach(prefix IN LISTS allowed)
        string(LENGTH "${prefix}/" length)
        string(SUBSTRING "${header}" 0 ${length} head)
        if(head STREQUAL "${prefix}/")
          set(ok TRUE)
          break()
        endif()
      endforeach()
      if(NOT ok)
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
        message(SEND_ERROR "${shown}: includes \"${header}\", which ${folder} must not use")
        math(EXPR violations "${violations} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violations GREATER 0)
  message(FATAL_ERROR "check-layers: ${violations} include(s) against the layer rules")
endif()
message(STATUS "check-layers: every include follows the layer rules")
