# The program's libraries are layers. Each links only the layers below it, and
# its headers are found only by targets that link it: every header of a layer
# is exported through a folder of forwarding headers of that layer alone, so
# that an include of a header from a higher layer in another folder does not
# compile. What the compiler cannot refuse (a header from a higher layer in
# the same folder, which a quoted include always finds), CheckLayers.cmake
# refuses before anything is compiled.

set(TARVO_LAYER_TARGETS "" CACHE INTERNAL "")

# tarvo_add_layer(target rank libraries...): a static library at rank (higher
# ranks lie above), linking the given libraries.
function(tarvo_add_layer target rank)
  add_library(${target} STATIC)
  set_target_properties(${target} PROPERTIES TARVO_RANK ${rank})
  target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/layers/${target})
  target_link_libraries(${target} PUBLIC ${ARGN})
  set(TARVO_LAYER_TARGETS ${TARVO_LAYER_TARGETS} ${target} CACHE INTERNAL "")
endfunction()

# tarvo_layer_sources(target file...): adds sources to a layer; its headers
# (*.h) are exported through the layer's forwarding folder.
function(tarvo_layer_sources target)
  foreach(file ${ARGN})
    get_filename_component(path ${file} ABSOLUTE)
    target_sources(${target} PRIVATE ${path})
    set_property(TARGET ${target} APPEND PROPERTY TARVO_FILES ${path})
    if(file MATCHES "\\.h$")
      get_filename_component(name ${file} NAME)
      file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/layers/${target}/${name}
           CONTENT "#include \"${path}\"\n")
    endif()
  endforeach()
endfunction()

# Writes the list of every layer's files with its rank and runs the include
# check before any layer is compiled. Call once, after all layers got their
# sources.
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
    COMMAND ${CMAKE_COMMAND} -DLIST=${list} -DSTAMP=${stamp} -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    DEPENDS ${files} ${list} ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMENT "Checking that no layer includes a layer above it"
    VERBATIM)
  add_custom_target(tarvo_layer_check DEPENDS ${stamp})
  foreach(target ${TARVO_LAYER_TARGETS})
    add_dependencies(${target} tarvo_layer_check)
  endforeach()
endfunction()
