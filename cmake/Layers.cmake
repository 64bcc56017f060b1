# The program's libraries are layers, and a file's layer is the folder it sits
# in: each subsystem folder (app/, device/, editors/, mapfile/) has one
# subfolder per layer, named after it (wire/, core/, widgets/, ui/); cli/ and
# sim/ are layers of their own. Every include of the program's own headers is
# written from the top of the tree ("device/wire/Frame.h"), so it names the
# layer of what it includes. Each layer links only the layers below it, and
# CheckLayers.cmake refuses an include of a higher layer's header before
# anything is compiled.

set(TARVO_SUBSYSTEMS app device editors mapfile)
set(TARVO_LAYER_TARGETS "" CACHE INTERNAL "")

# tarvo_add_layer(target rank FOLDERS folder... [LINK library...]): a static
# library at rank (higher ranks lie above) of every header and source in the
# given folders, or, for a bare layer name (such as "core"), in that subfolder
# of each subsystem. An entry point (main.cpp) is a program of its own and not
# part of a layer. A source with a Windows twin (ComPort.cpp and
# ComPortWin.cpp) is replaced by the twin on Windows; elsewhere the twin is
# left out.
function(tarvo_add_layer target rank)
  cmake_parse_arguments(PARSE_ARGV 2 LAYER "" "" "FOLDERS;LINK")
  set(folders "")
  foreach(folder ${LAYER_FOLDERS})
    if(folder MATCHES "/" OR EXISTS ${CMAKE_SOURCE_DIR}/${folder})
      list(APPEND folders ${folder})
    else()
      foreach(subsystem ${TARVO_SUBSYSTEMS})
        list(APPEND folders ${subsystem}/${folder})
      endforeach()
    endif()
  endforeach()
  set(files "")
  foreach(folder ${folders})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND files ${found})
  endforeach()
  list(FILTER files EXCLUDE REGEX "/main\\.cpp$")
  foreach(file ${files})
    if(file MATCHES "^(.*)Win\\.cpp$")
      if(WIN32)
        list(REMOVE_ITEM files ${CMAKE_MATCH_1}.cpp)
      else()
        list(REMOVE_ITEM files ${file})
      endif()
    endif()
  endforeach()

  add_library(${target} STATIC ${files})
  set_target_properties(${target} PROPERTIES TARVO_RANK ${rank} TARVO_FILES "${files}")
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${LAYER_LINK})
  set(TARVO_LAYER_TARGETS ${TARVO_LAYER_TARGETS} ${target} CACHE INTERNAL "")
endfunction()

# Writes the list of every layer's files with its rank and runs the include
# check before any layer is compiled. Call once, after all layers are added.
function(tarvo_check_layers)
  set(manifest "")
  set(files "")
  foreach(target ${TARVO_LAYER_TARGETS})
    get_target_property(rank ${target} TARVO_RANK)
    get_target_property(paths ${target} TARVO_FILES)
    foreach(path ${paths})
      string(APPEND manifest "${rank}|${target}|${path}\n")
      list(APPEND files ${path})
    endforeach()
  endforeach()
  set(list ${CMAKE_BINARY_DIR}/layers/files.txt)
  file(CONFIGURE OUTPUT ${list} CONTENT "${manifest}")
  set(stamp ${CMAKE_BINARY_DIR}/layers/checked.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLIST=${list} -DROOT=${CMAKE_SOURCE_DIR} -DSTAMP=${stamp}
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    DEPENDS ${files} ${list} ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMENT "Checking that no layer includes a layer above it"
    VERBATIM)
  add_custom_target(tarvo_layer_check DEPENDS ${stamp})
  foreach(target ${TARVO_LAYER_TARGETS})
    add_dependencies(${target} tarvo_layer_check)
  endforeach()
endfunction()
