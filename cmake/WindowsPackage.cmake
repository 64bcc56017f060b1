# The Windows build: the program runs from one folder holding the executables,
# the Qt and mingw runtime DLLs and the two Qt plugins it loads. The build
# folder gets the same layout (so the program runs from there), and CPack packs
# it with the README for Windows users: a ZIP, and an installer.

set(TARVO_WINDOWS_PROGRAMS tarvo-gui)
if(TARGET tarvo-cli)
  list(APPEND TARVO_WINDOWS_PROGRAMS tarvo-cli)
endif()

set(TARVO_QT_DLLS Core Gui Widgets Charts SerialPort Xml)
# folder/target pairs
set(TARVO_QT_PLUGINS
  platforms Qt6::QWindowsIntegrationPlugin
  styles Qt6::QWindowsVistaStylePlugin)

# The compiler's own runtime: libstdc++, libgcc and winpthread (mingw only).
set(TARVO_RUNTIME_DLLS)
if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "The mingw runtime ${dll} was not found (${path})")
    endif()
    list(APPEND TARVO_RUNTIME_DLLS "${path}")
  endforeach()
endif()

set(copy_commands)
foreach(module IN LISTS TARVO_QT_DLLS)
  list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
       "$<TARGET_FILE:Qt6::${module}>" "$<TARGET_FILE_DIR:tarvo-gui>")
  install(FILES "$<TARGET_FILE:Qt6::${module}>" DESTINATION .)
endforeach()
set(plugins ${TARVO_QT_PLUGINS})
while(plugins)
  list(POP_FRONT plugins folder target)
  list(APPEND copy_commands
       COMMAND ${CMAKE_COMMAND} -E make_directory "$<TARGET_FILE_DIR:tarvo-gui>/${folder}"
       COMMAND ${CMAKE_COMMAND} -E copy_if_different
       "$<TARGET_FILE:${target}>" "$<TARGET_FILE_DIR:tarvo-gui>/${folder}")
  install(FILES "$<TARGET_FILE:${target}>" DESTINATION ${folder})
endwhile()
foreach(dll IN LISTS TARVO_RUNTIME_DLLS)
  list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
       "${dll}" "$<TARGET_FILE_DIR:tarvo-gui>")
  install(FILES "${dll}" DESTINATION .)
endforeach()

# Beside the executables in the build folder after every build.
add_custom_target(tarvo-windows-runtime ALL ${copy_commands} VERBATIM)
add_dependencies(tarvo-windows-runtime ${TARVO_WINDOWS_PROGRAMS})

install(TARGETS ${TARVO_WINDOWS_PROGRAMS} RUNTIME DESTINATION .)
install(FILES packaging/README-Windows.txt DESTINATION .)
# The mingw runtime comes with its symbols (libstdc++ alone is 23 MB of them).
if(MINGW AND CMAKE_STRIP)
  foreach(dll IN LISTS TARVO_RUNTIME_DLLS)
    get_filename_component(name "${dll}" NAME)
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\")")
  endforeach()
endif()

# The ZIP, and the installer where NSIS is at hand (makensis: Debian's nsis,
# or NSIS 3 on Windows). The installer is built from packaging/windows/
# NSIS.template.in: a 64-bit, Russian-speaking installer into Program Files.
set(CPACK_GENERATOR ZIP)
find_program(TARVO_MAKENSIS makensis)
if(TARVO_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
endif()
set(CPACK_PACKAGE_NAME tarvo-gui)
set(CPACK_PACKAGE_VENDOR "Tarvo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service tool for the Tarvo ignition-advance variator")
set(CPACK_SYSTEM_NAME windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_MODULE_PATH "${CMAKE_SOURCE_DIR}/packaging/windows")
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_SOURCE_DIR}/packaging/windows/CPackOptions.cmake")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tarvo GUI")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Tarvo GUI")
set(CPACK_NSIS_PACKAGE_NAME "Tarvo GUI")
set(CPACK_NSIS_UNINSTALL_NAME "Uninstall")
include(CPack)
