# Keeps the include directions honest: the subsystems and the ports below
# them never include the controller module (app/), the window (ui/) or the
# operating-system adapters (platform/); the ports include only ports.
# Run: cmake -DSRC=<src dir> -P check_includes.cmake
if(NOT SRC)
  message(FATAL_ERROR "SRC is not set")
endif()
set(rules
  "config|app/|ui/|platform/"
  "boards|app/|ui/|platform/"
  "bridge|app/|ui/|platform/"
  "sim|app/|ui/|platform/"
  "inputs|app/|ui/|platform/"
  "drives|app/|ui/|platform/"
  "ports|app/|ui/|platform/|config/|boards/|bridge/|sim/|inputs/|drives/")
set(faults 0)
foreach(rule ${rules})
  string(REPLACE "|" ";" parts "${rule}")
  list(GET parts 0 dir)
  list(REMOVE_AT parts 0)
  file(GLOB_RECURSE files "${SRC}/${dir}/*.h" "${SRC}/${dir}/*.cpp")
  foreach(f ${files})
    file(STRINGS "${f}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      foreach(banned ${parts})
        string(FIND "${line}" "\"${banned}" at)
        if(NOT at EQUAL -1)
          file(RELATIVE_PATH rel "${SRC}" "${f}")
          message(SEND_ERROR "${rel}: ${line} (${dir}/ must not include ${banned})")
          math(EXPR faults "${faults} + 1")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} include(s) against the layering")
endif()
message(STATUS "include directions: all well")
